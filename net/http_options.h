// Settings of one page fetch: time-outs, attempt limit, size cap and the user agent.
//
// The defaults are the program's; tests shorten the time-outs, shrink the cap and bring a
// clock of their own.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "net/fetch_clock.h"

namespace pelmo {

// The name of the running executable without directory and extension ("pelmo" for the
// program), or "pelmo" when it cannot be determined.
std::string ExecutableName();

struct HttpFetchOptions {
  // Sent as the User-Agent header.
  std::string userAgent = ExecutableName();
  // Limit on name resolution plus connecting, per attempt.
  std::chrono::milliseconds connectTimeout{15000};
  // A transfer that receives less than one byte per second over this long fails; this also
  // bounds the wait for the response after the request was sent. Whole seconds only.
  std::chrono::seconds stallTimeout{15};
  // Bound on the whole of one attempt, connecting and the body included, so that a body
  // trickling in fast enough to keep the stall time-out quiet still ends. At the size cap it
  // allows about 23 KB a second.
  std::chrono::milliseconds attemptTimeout{180000};
  // Bound on all the attempts of one page together, pauses included: a trickling service
  // costs a page at most this long, not every attempt's bound in turn.
  std::chrono::milliseconds pageTimeout{300000};
  // The longest wait a busy service (status 429 or 503) may ask for with Retry-After before
  // the page is asked for again; a longer one fails the page at once.
  std::chrono::seconds longestRetryAfter{120};
  // Requests made for one Fetch, the first one included.
  int maxAttempts = 12;
  // Pause after a failed attempt before the next one; it doubles after each further failure,
  // up to maxRetryDelay, so that the attempts of one page can outlast a short restart of the
  // service.
  std::chrono::milliseconds firstRetryDelay{250};
  std::chrono::milliseconds maxRetryDelay{4000};
  // Redirects followed within one request.
  int maxRedirects = 10;
  // Largest text kept, counted after line-end expansion; a larger page is not taken. A real
  // page is about 17 KB; at 4 MiB the tree of the largest page stays within a few hundred MiB.
  std::size_t maxTextBytes = std::size_t{4} << 20;
  // Called before each request of a Fetch with its number, counted from 1, so that a person
  // watching can be told that a page is being tried again. None: nobody is told.
  std::function<void(int attempt)> onAttempt;
  // Test-only: the clock for the pauses and the bounds above, not owned; null for the steady
  // clock and real sleeps.
  FetchClock* clockForTests = nullptr;
  // Test-only: a PEM file of the certificates to trust instead of the system's, so that
  // tests can serve https with a certificate made for them. Empty for the program.
  std::string caFileForTests;
};

// The program's settings. Test-only: with PELMO_QUICK_PAUSES_FOR_TESTS=1 in the environment
// the pauses between attempts are a millisecond, so that tests that run the program against
// a failing service need not wait them out; the attempts, their count and bounds stay.
// Test-only as well: with PELMO_SHORT_BOUNDS_FOR_TESTS=1 the time bounds shrink (1 s to
// connect and without a byte, 2 s an attempt, 4 s a page), so that a silent or trickling
// service can be compared on both systems in seconds; the rules over them stay.
HttpFetchOptions ProgramFetchOptions();

}  // namespace pelmo
