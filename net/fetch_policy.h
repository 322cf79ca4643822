// What one attempt's transport report means, decided here once for every system: a page,
// an answer to keep (a status other than 200), or a failed attempt worth repeating, and the
// few words that say why.
#pragma once

#include <chrono>
#include <string>

#include "base/result.h"
#include "net/http_exchange.h"
#include "net/http_options.h"

namespace pelmo {

// The words for a transport fault ("connection refused"); `libraryText` for Other.
std::string FaultText(TransportFault fault, const std::string& libraryText);

// The result of one attempt:
//  - ok (code 200): the page came whole. Whole means the transport saw its end and the body
//    has the length its Content-Length announced, or a zero byte ended the text earlier; an
//    empty body that neither a length nor chunks delimit is taken as an answer cut short;
//  - StatusNotOk (code: the status): a final status other than 200; its body is not read;
//  - TooLarge: the page did not fit;
//  - BodyCutShort: a status line came but the answer ended early, inside its headers
//    ("answer cut short") or in the body ("body cut short", or the fault's words);
//  - OutOfTime ("timed out"): the attempt's time ran out (`timeIsUp`) before its answer came;
//  - NoAnswer: no status line at all, in the fault's words; bytes without a status line
//    are "answer cut short" too;
//  - RequestFailed: a status line came, but no final one (redirects, in the fault's words).
Result JudgeExchange(const HttpExchange& exchange, bool timeIsUp);

// Whether an attempt with this result is worth repeating.
bool WorthRepeating(const Result& attempt);

// Whether a status says that the service is busy and may name the wait in Retry-After.
bool IsBusyStatus(int status);

// The pauses after failed attempts: the first, then each one double the one before, up to
// the longest.
class RetrySpacing {
 public:
  explicit RetrySpacing(const HttpFetchOptions& options)
      : next_(options.firstRetryDelay), longest_(options.maxRetryDelay) {}

  // The pause after the next failed attempt.
  std::chrono::milliseconds Next();

 private:
  std::chrono::milliseconds next_;
  std::chrono::milliseconds longest_;
};

}  // namespace pelmo
