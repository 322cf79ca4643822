#include "net/fetch_attempts.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "net/fetch_policy.h"
#include "net/retry_after.h"

namespace pelmo {
namespace {

using Duration = FetchClock::Duration;

Result Busy(int status, std::optional<std::chrono::seconds> wait) {
  std::string words = wait
                          ? "the quote service asks to wait " + std::to_string(wait->count()) + " s"
                          : "HTTP status " + std::to_string(status);
  return Failure(Reason::ServiceBusy, std::move(words), status);
}

// The state of one fetch's attempts.
class Attempts {
 public:
  Attempts(HttpTransport& transport, const HttpFetchOptions& options, FetchClock& clock)
      : transport_(transport),
        options_(options),
        clock_(clock),
        spacing_(options),
        pageEnd_(clock.Now() + options.pageTimeout) {}

  AttemptsOutcome Run(const std::string& address);

 private:
  // Makes one request and judges it.
  Result Attempt(const std::string& address, std::string& body);
  // The pause before the next attempt after `attempt`, and the result to report should
  // there be none. Nullopt when the result stands as it is.
  std::optional<Duration> PauseAfter(Result& attempt, const std::string& retryAfter);

  HttpTransport& transport_;
  const HttpFetchOptions& options_;
  FetchClock& clock_;
  RetrySpacing spacing_;
  FetchClock::TimePoint pageEnd_;
  bool answered_ = false;
  std::string lastRetryAfter_;
};

Result Attempts::Attempt(const std::string& address, std::string& body) {
  const FetchClock::TimePoint end = std::min(clock_.Now() + options_.attemptTimeout, pageEnd_);
  const AttemptTimeLeft timeLeft = [this, end] { return end - clock_.Now(); };
  body.clear();
  const HttpExchange exchange = transport_.Exchange(address, body, timeLeft);
  answered_ = answered_ || exchange.answered;
  lastRetryAfter_ = exchange.retryAfter;
  return JudgeExchange(exchange, timeLeft() <= Duration::zero());
}

std::optional<Duration> Attempts::PauseAfter(Result& attempt, const std::string& retryAfter) {
  if (!WorthRepeating(attempt)) {
    return std::nullopt;
  }
  if (attempt.reason != Reason::StatusNotOk) {
    return spacing_.Next();
  }
  const auto wait = retryAfter.empty()
                        ? std::nullopt
                        : RetryAfterWait(retryAfter, std::chrono::system_clock::now());
  attempt = Busy(attempt.code, wait);
  if (!wait) {
    return spacing_.Next();
  }
  if (*wait > options_.longestRetryAfter) {
    return std::nullopt;
  }
  return std::chrono::duration_cast<Duration>(*wait);
}

AttemptsOutcome Attempts::Run(const std::string& address) {
  AttemptsOutcome outcome;
  for (;;) {
    ++outcome.attempts;
    if (options_.onAttempt) {
      options_.onAttempt(outcome.attempts);
    }
    outcome.result = Attempt(address, outcome.body);
    const std::optional<Duration> pause = PauseAfter(outcome.result, lastRetryAfter_);
    if (!pause || outcome.attempts >= options_.maxAttempts) {
      break;
    }
    if (clock_.Now() + *pause >= pageEnd_) {
      // No time left for another attempt. A busy service's answer names its wait as it is.
      if (outcome.result.reason != Reason::ServiceBusy) {
        outcome.result.reason = Reason::OutOfTime;
      }
      break;
    }
    clock_.Pause(*pause);
  }
  if (outcome.result.reason == Reason::NoAnswer && answered_) {
    // An earlier attempt had an answer: the service is there, only this page failed.
    outcome.result.reason = Reason::RequestFailed;
  }
  if (!outcome.result.ok()) {
    outcome.body.clear();
  }
  return outcome;
}

}  // namespace

AttemptsOutcome MakeAttempts(HttpTransport& transport, const std::string& address,
                             const HttpFetchOptions& options, FetchClock& clock) {
  return Attempts(transport, options, clock).Run(address);
}

}  // namespace pelmo
