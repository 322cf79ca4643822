// The attempts of one fetch against a scripted transport and a test clock: how many, the
// pauses between them, the bounds on time and a busy service's waits. No network and no
// real pauses, so these run alike on every system.
#include "net/fetch_attempts.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "net/test_clock_for_test.h"

namespace pelmo {
namespace {

using net_test::RecordingClock;
using std::chrono::milliseconds;
using std::chrono::seconds;

// Answers the n-th request (0-based) with what `script` gives; the script may move the
// clock on, as a slow answer would.
class ScriptedTransport : public HttpTransport {
 public:
  using Script = std::function<HttpExchange(int, std::string&, const AttemptTimeLeft&)>;
  explicit ScriptedTransport(Script script) : script_(std::move(script)) {}

  HttpExchange Exchange(const std::string&, std::string& body,
                        const AttemptTimeLeft& timeLeft) override {
    return script_(requests++, body, timeLeft);
  }

  int requests = 0;

 private:
  Script script_;
};

HttpExchange Fault(TransportFault fault) {
  HttpExchange exchange;
  exchange.fault = fault;
  return exchange;
}

HttpExchange Page(std::string& body) {
  HttpExchange exchange;
  exchange.answered = true;
  exchange.status = 200;
  exchange.announcedLength = 4;
  exchange.bodyBytes = 4;
  body = "page";
  return exchange;
}

HttpExchange Status(int status, std::string retryAfter = {}) {
  HttpExchange exchange;
  exchange.answered = true;
  exchange.status = status;
  exchange.retryAfter = std::move(retryAfter);
  return exchange;
}

// The program's settings, on the test clock.
HttpFetchOptions Defaults() {
  return HttpFetchOptions{};
}

std::vector<milliseconds> Ms(std::initializer_list<long> values) {
  std::vector<milliseconds> out;
  for (const long value : values) {
    out.emplace_back(value);
  }
  return out;
}

TEST(FetchAttemptsTest, FailedAttemptsFollowTheDefaultSchedule) {
  RecordingClock clock;
  ScriptedTransport transport(
      [](int, std::string&, const AttemptTimeLeft&) { return Fault(TransportFault::Refused); });
  const AttemptsOutcome outcome = MakeAttempts(transport, "http://x/t", Defaults(), clock);
  EXPECT_EQ(transport.requests, 12);
  EXPECT_EQ(outcome.attempts, 12);
  EXPECT_EQ(clock.pauses, Ms({250, 500, 1000, 2000, 4000, 4000, 4000, 4000, 4000, 4000, 4000}));
  EXPECT_EQ(outcome.result.reason, Reason::NoAnswer);
  EXPECT_EQ(outcome.result.message, "connection refused");
}

TEST(FetchAttemptsTest, PageAfterFailuresEndsTheAttempts) {
  RecordingClock clock;
  ScriptedTransport transport([](int i, std::string& body, const AttemptTimeLeft&) {
    return i < 2 ? Fault(TransportFault::Reset) : Page(body);
  });
  const AttemptsOutcome outcome = MakeAttempts(transport, "http://x/t", Defaults(), clock);
  EXPECT_TRUE(outcome.result.ok());
  EXPECT_EQ(outcome.body, "page");
  EXPECT_EQ(outcome.attempts, 3);
  EXPECT_EQ(clock.pauses, Ms({250, 500}));
}

// The service answered once: later silence is not "no answer" for the page.
TEST(FetchAttemptsTest, SilenceAfterAnAnswerIsARequestFailure) {
  RecordingClock clock;
  ScriptedTransport transport([](int i, std::string&, const AttemptTimeLeft&) {
    HttpExchange exchange = Fault(i == 0 ? TransportFault::Reset : TransportFault::Refused);
    exchange.answered = i == 0;
    return exchange;
  });
  const AttemptsOutcome outcome = MakeAttempts(transport, "http://x/t", Defaults(), clock);
  EXPECT_EQ(outcome.result.reason, Reason::RequestFailed);
  EXPECT_EQ(outcome.result.message, "connection refused");
}

TEST(FetchAttemptsTest, OtherStatusesAreNotAskedAgain) {
  for (const int status : {404, 500, 502}) {
    RecordingClock clock;
    ScriptedTransport transport(
        [status](int, std::string&, const AttemptTimeLeft&) { return Status(status, "1"); });
    const AttemptsOutcome outcome = MakeAttempts(transport, "http://x/t", Defaults(), clock);
    EXPECT_EQ(transport.requests, 1) << status;
    EXPECT_EQ(outcome.result.reason, Reason::StatusNotOk) << status;
    EXPECT_EQ(outcome.result.code, status);
    EXPECT_TRUE(clock.pauses.empty());
  }
}

// Each attempt is told the time it has left: the attempt bound, cut to what is left of the
// page's.
TEST(FetchAttemptsTest, EachAttemptIsToldItsTimeLeft) {
  RecordingClock clock;
  std::vector<milliseconds> told;
  ScriptedTransport transport([&](int, std::string&, const AttemptTimeLeft& timeLeft) {
    told.push_back(timeLeft());
    clock.Advance(milliseconds(100000));
    return Fault(TransportFault::Reset);
  });
  MakeAttempts(transport, "http://x/t", Defaults(), clock);
  // 180 s each, until the third begins at 200.75 s with 99.25 s of the page's 300 left.
  EXPECT_EQ(told, Ms({180000, 180000, 99250}));
}

// A trickling body holds each attempt to its bound: the second ends with the page's time,
// and no third begins.
TEST(FetchAttemptsTest, TricklingAnswersEndWithThePagesTime) {
  RecordingClock clock;
  ScriptedTransport transport([&](int, std::string& body, const AttemptTimeLeft& timeLeft) {
    clock.Advance(timeLeft());
    HttpExchange exchange = Page(body);
    exchange.announcedLength = 10000;
    exchange.fault = TransportFault::TimedOut;
    return exchange;
  });
  const AttemptsOutcome outcome = MakeAttempts(transport, "http://x/t", Defaults(), clock);
  EXPECT_EQ(transport.requests, 2);
  EXPECT_EQ(outcome.result.reason, Reason::OutOfTime);
  EXPECT_EQ(outcome.result.message, "timed out");
  EXPECT_TRUE(outcome.body.empty());
  EXPECT_EQ(clock.pauses, Ms({250}));
  EXPECT_LE(clock.Now().time_since_epoch(), milliseconds(300000));
}

// Slow failures that leave no time for the next pause end the page as out of time, with
// the last attempt's words.
TEST(FetchAttemptsTest, NoAttemptStartsAfterThePagesTime) {
  RecordingClock clock;
  ScriptedTransport transport([&](int, std::string&, const AttemptTimeLeft&) {
    clock.Advance(milliseconds(149900));
    return Fault(TransportFault::Reset);
  });
  const AttemptsOutcome outcome = MakeAttempts(transport, "http://x/t", Defaults(), clock);
  EXPECT_EQ(transport.requests, 2);
  EXPECT_EQ(outcome.result.reason, Reason::OutOfTime);
  EXPECT_EQ(outcome.result.message, "connection reset");
}

TEST(FetchAttemptsTest, BusyServiceIsAskedAgainAfterItsWait) {
  for (const int status : {429, 503}) {
    RecordingClock clock;
    ScriptedTransport transport([status](int i, std::string& body, const AttemptTimeLeft&) {
      return i < 2 ? Status(status, "60") : Page(body);
    });
    const AttemptsOutcome outcome = MakeAttempts(transport, "http://x/t", Defaults(), clock);
    EXPECT_TRUE(outcome.result.ok()) << status;
    EXPECT_EQ(outcome.attempts, 3);
    EXPECT_EQ(clock.pauses, Ms({60000, 60000}));
  }
}

TEST(FetchAttemptsTest, LongerWaitFailsThePageAtOnce) {
  RecordingClock clock;
  ScriptedTransport transport(
      [](int, std::string&, const AttemptTimeLeft&) { return Status(429, "3600"); });
  const AttemptsOutcome outcome = MakeAttempts(transport, "http://x/t", Defaults(), clock);
  EXPECT_EQ(transport.requests, 1);
  EXPECT_TRUE(clock.pauses.empty());
  EXPECT_EQ(outcome.result.reason, Reason::ServiceBusy);
  EXPECT_EQ(outcome.result.code, 429);
  EXPECT_EQ(outcome.result.message, "the quote service asks to wait 3600 s");
}

// 120 s is still waited; three waits would pass the page's 5 minutes.
TEST(FetchAttemptsTest, WaitsCountTowardThePagesTime) {
  RecordingClock clock;
  ScriptedTransport transport(
      [](int, std::string&, const AttemptTimeLeft&) { return Status(503, "120"); });
  const AttemptsOutcome outcome = MakeAttempts(transport, "http://x/t", Defaults(), clock);
  EXPECT_EQ(transport.requests, 3);
  EXPECT_EQ(clock.pauses, Ms({120000, 120000}));
  EXPECT_EQ(outcome.result.reason, Reason::ServiceBusy);
  EXPECT_EQ(outcome.result.message, "the quote service asks to wait 120 s");
}

TEST(FetchAttemptsTest, BusyEveryTimeFailsNamingTheWait) {
  RecordingClock clock;
  ScriptedTransport transport(
      [](int, std::string&, const AttemptTimeLeft&) { return Status(429, "1"); });
  const AttemptsOutcome outcome = MakeAttempts(transport, "http://x/t", Defaults(), clock);
  EXPECT_EQ(transport.requests, 12);
  EXPECT_EQ(clock.pauses, std::vector<milliseconds>(11, milliseconds(1000)));
  EXPECT_EQ(outcome.result.message, "the quote service asks to wait 1 s");
}

// Without a wait named (or one that cannot be read), the ordinary spacing.
TEST(FetchAttemptsTest, BusyWithoutRetryAfterTakesTheOrdinarySpacing) {
  for (const char* retryAfter : {"", "soon"}) {
    RecordingClock clock;
    ScriptedTransport transport([retryAfter](int i, std::string& body, const AttemptTimeLeft&) {
      return i < 3 ? Status(503, retryAfter) : Page(body);
    });
    const AttemptsOutcome outcome = MakeAttempts(transport, "http://x/t", Defaults(), clock);
    EXPECT_TRUE(outcome.result.ok()) << retryAfter;
    EXPECT_EQ(clock.pauses, Ms({250, 500, 1000})) << retryAfter;
  }
  RecordingClock clock;
  ScriptedTransport transport(
      [](int, std::string&, const AttemptTimeLeft&) { return Status(503); });
  const AttemptsOutcome outcome = MakeAttempts(transport, "http://x/t", Defaults(), clock);
  EXPECT_EQ(transport.requests, 12);
  EXPECT_EQ(outcome.result.reason, Reason::ServiceBusy);
  EXPECT_EQ(outcome.result.message, "HTTP status 503");
}

TEST(FetchAttemptsTest, AttemptLimitIsASetting) {
  RecordingClock clock;
  ScriptedTransport transport(
      [](int, std::string&, const AttemptTimeLeft&) { return Fault(TransportFault::TimedOut); });
  HttpFetchOptions options;
  options.maxAttempts = 1;
  const AttemptsOutcome outcome = MakeAttempts(transport, "http://x/t", options, clock);
  EXPECT_EQ(transport.requests, 1);
  EXPECT_TRUE(clock.pauses.empty());
  EXPECT_EQ(outcome.result.reason, Reason::NoAnswer);
  EXPECT_EQ(outcome.result.message, "timed out");
}

}  // namespace
}  // namespace pelmo
