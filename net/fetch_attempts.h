// The attempts of one page fetch: how many, their spacing, their time bounds and a busy
// service's waits, the same on every system. The transport underneath only makes requests.
//
// Up to options.maxAttempts requests are made. A failed attempt (see WorthRepeating) is
// followed by the next after a pause of RetrySpacing; a busy answer (status 429 or 503)
// with a Retry-After of at most options.longestRetryAfter after that wait instead. Each
// attempt may take options.attemptTimeout, all of them with their pauses and waits
// options.pageTimeout: the last attempt is cut to what is left of it, and a pause that would
// reach it ends the attempts instead.
#pragma once

#include <string>

#include "base/result.h"
#include "net/fetch_clock.h"
#include "net/http_exchange.h"
#include "net/http_options.h"

namespace pelmo {

// Makes one request: the platform's HTTP session, or a test's stand-in.
class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  // Requests `address` once. The body of a 200 answer goes to `body` (LF expanded, see
  // net/received_text.h); the request is ended once `timeLeft` says no time is left.
  virtual HttpExchange Exchange(const std::string& address, std::string& body,
                                const AttemptTimeLeft& timeLeft) = 0;
};

struct AttemptsOutcome {
  // The last attempt's result (see JudgeExchange), except that:
  //  - NoAnswer becomes RequestFailed when an earlier attempt had an answer;
  //  - a repeatable failure becomes OutOfTime when the page's time ran out before the
  //    next attempt (the message stays the last attempt's);
  //  - a busy answer ends as ServiceBusy with the status in `code`, naming the wait it
  //    asked for ("the quote service asks to wait 3600 s") or, without one, the status.
  Result result;
  // The page when the result is ok.
  std::string body;
  int attempts = 0;
};

AttemptsOutcome MakeAttempts(HttpTransport& transport, const std::string& address,
                             const HttpFetchOptions& options, FetchClock& clock);

}  // namespace pelmo
