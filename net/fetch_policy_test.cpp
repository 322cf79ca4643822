// How one attempt's transport report is judged, and a busy service's Retry-After read.
#include "net/fetch_policy.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "net/retry_after.h"

namespace pelmo {
namespace {

using std::chrono::seconds;

HttpExchange Answer(int status) {
  HttpExchange exchange;
  exchange.answered = true;
  exchange.status = status;
  return exchange;
}

HttpExchange Body(std::uint64_t announced, std::uint64_t received) {
  HttpExchange exchange = Answer(200);
  exchange.announcedLength = announced;
  exchange.bodyBytes = received;
  return exchange;
}

// reason, code and message in one line, for whole-result comparisons.
std::string Judged(const HttpExchange& exchange, bool timeIsUp = false) {
  const Result result = JudgeExchange(exchange, timeIsUp);
  return std::to_string(static_cast<int>(result.reason)) + " " + std::to_string(result.code) + " " +
         result.message;
}

std::string Expected(Reason reason, int code, const std::string& message) {
  return std::to_string(static_cast<int>(reason)) + " " + std::to_string(code) + " " + message;
}

TEST(FetchPolicyTest, BodyIsCheckedAgainstItsAnnouncedLength) {
  EXPECT_EQ(Judged(Body(10, 10)), Expected(Reason::Ok, 200, ""));
  // The transport saw no fault, yet the body is short: the connection closed early.
  EXPECT_EQ(Judged(Body(10, 9)), Expected(Reason::BodyCutShort, 200, "body cut short"));
  EXPECT_EQ(Judged(Body(0, 0)), Expected(Reason::Ok, 200, ""));
  HttpExchange unannounced = Answer(200);
  unannounced.bodyBytes = 5;
  EXPECT_EQ(Judged(unannounced), Expected(Reason::Ok, 200, ""));
  // Empty, and nothing but the closed connection says where it ends.
  unannounced.bodyBytes = 0;
  EXPECT_EQ(Judged(unannounced), Expected(Reason::BodyCutShort, 200, "answer cut short"));
  unannounced.chunked = true;
  EXPECT_EQ(Judged(unannounced), Expected(Reason::Ok, 200, ""));
  // A zero byte ended the text: the rest was not read on purpose.
  HttpExchange ended = Body(10, 4);
  ended.bodyStatus = ReceivedText::Status::Ended;
  EXPECT_EQ(Judged(ended), Expected(Reason::Ok, 200, ""));
  ended.fault = TransportFault::Other;
  EXPECT_EQ(Judged(ended), Expected(Reason::Ok, 200, ""));
}

TEST(FetchPolicyTest, FaultInTheBodyCutsItShort) {
  HttpExchange reset = Body(10, 4);
  reset.fault = TransportFault::Reset;
  EXPECT_EQ(Judged(reset), Expected(Reason::BodyCutShort, 200, "connection reset"));
  reset.fault = TransportFault::CutShort;
  EXPECT_EQ(Judged(reset), Expected(Reason::BodyCutShort, 200, "body cut short"));
  reset.fault = TransportFault::TimedOut;
  EXPECT_EQ(Judged(reset), Expected(Reason::BodyCutShort, 200, "timed out"));
  EXPECT_EQ(Judged(reset, true), Expected(Reason::OutOfTime, 200, "timed out"));
}

// An answer that ends inside its headers, or that has no status line, is no empty page.
TEST(FetchPolicyTest, AnswerCutInsideItsHeadersFails) {
  HttpExchange cut;
  cut.answered = true;
  cut.headersCut = true;
  EXPECT_EQ(Judged(cut), Expected(Reason::BodyCutShort, 0, "answer cut short"));
  cut.fault = TransportFault::Reset;
  EXPECT_EQ(Judged(cut), Expected(Reason::BodyCutShort, 0, "answer cut short"));
  cut.fault = TransportFault::TimedOut;
  EXPECT_EQ(Judged(cut), Expected(Reason::RequestFailed, 0, "timed out"));
  HttpExchange noStatusLine;
  noStatusLine.fault = TransportFault::NoStatusLine;
  EXPECT_EQ(Judged(noStatusLine), Expected(Reason::NoAnswer, 0, "answer cut short"));
}

TEST(FetchPolicyTest, StatusOtherThan200IsKeptWhateverFollowed) {
  HttpExchange missing = Answer(404);
  missing.fault = TransportFault::Reset;
  EXPECT_EQ(Judged(missing), Expected(Reason::StatusNotOk, 404, ""));
  EXPECT_EQ(Judged(Answer(503), true), Expected(Reason::StatusNotOk, 503, ""));
}

TEST(FetchPolicyTest, NoStatusLineIsNoAnswer) {
  HttpExchange refused;
  refused.fault = TransportFault::Refused;
  EXPECT_EQ(Judged(refused), Expected(Reason::NoAnswer, 0, "connection refused"));
  refused.fault = TransportFault::TimedOut;
  EXPECT_EQ(Judged(refused), Expected(Reason::NoAnswer, 0, "timed out"));
  EXPECT_EQ(Judged(refused, true), Expected(Reason::OutOfTime, 0, "timed out"));
  HttpExchange other;
  other.fault = TransportFault::Other;
  other.faultText = "WinHTTP error 12345";
  EXPECT_EQ(Judged(other), Expected(Reason::NoAnswer, 0, "WinHTTP error 12345"));
  // A redirect came, but no final answer.
  HttpExchange loop;
  loop.answered = true;
  loop.fault = TransportFault::TooManyRedirects;
  EXPECT_EQ(Judged(loop), Expected(Reason::RequestFailed, 0, "too many redirects"));
}

TEST(FetchPolicyTest, PageTooLargeWinsOverEverythingElse) {
  HttpExchange large = Body(100, 50);
  large.bodyStatus = ReceivedText::Status::TooLarge;
  large.fault = TransportFault::Other;
  EXPECT_EQ(Judged(large), Expected(Reason::TooLarge, 200, "page too large"));
  HttpExchange memory;
  memory.fault = TransportFault::OutOfMemory;
  EXPECT_EQ(Judged(memory), Expected(Reason::TooLarge, 0, "page too large"));
}

TEST(FetchPolicyTest, WhatIsWorthRepeating) {
  EXPECT_TRUE(WorthRepeating(Failure(Reason::NoAnswer)));
  EXPECT_TRUE(WorthRepeating(Failure(Reason::BodyCutShort)));
  EXPECT_TRUE(WorthRepeating(Failure(Reason::OutOfTime)));
  EXPECT_TRUE(WorthRepeating(Failure(Reason::StatusNotOk, "", 429)));
  EXPECT_TRUE(WorthRepeating(Failure(Reason::StatusNotOk, "", 503)));
  EXPECT_FALSE(WorthRepeating(Failure(Reason::StatusNotOk, "", 500)));
  EXPECT_FALSE(WorthRepeating(Failure(Reason::TooLarge)));
  EXPECT_FALSE(WorthRepeating(Result{}));
}

// 2015-10-21 07:28:00 UTC.
const std::chrono::system_clock::time_point kNow =
    std::chrono::sys_days(std::chrono::year(2015) / 10 / 21) + std::chrono::hours(7) +
    std::chrono::minutes(28);

TEST(RetryAfterTest, SecondsAreTakenAsTheyStand) {
  EXPECT_EQ(RetryAfterWait("120", kNow), seconds(120));
  EXPECT_EQ(RetryAfterWait(" 7\t", kNow), seconds(7));
  EXPECT_EQ(RetryAfterWait("0", kNow), seconds(0));
  EXPECT_EQ(RetryAfterWait("3600", kNow), seconds(3600));
  EXPECT_EQ(RetryAfterWait("999999999", kNow), seconds(999999999));
}

TEST(RetryAfterTest, DatesCountFromNow) {
  EXPECT_EQ(RetryAfterWait("Wed, 21 Oct 2015 07:29:30 GMT", kNow), seconds(90));
  EXPECT_EQ(RetryAfterWait("Thu, 22 Oct 2015 07:28:00 GMT", kNow), seconds(86400));
  EXPECT_EQ(RetryAfterWait("Wed, 21 Oct 2015 07:27:00 GMT", kNow), seconds(0));
  EXPECT_EQ(RetryAfterWait("Wed, 21 Oct 2015 07:28:00 GMT", kNow + std::chrono::milliseconds(1)),
            seconds(0));
  EXPECT_EQ(RetryAfterWait("Wed, 21 Oct 2015 07:28:01 GMT", kNow + std::chrono::milliseconds(1)),
            seconds(1));
}

TEST(RetryAfterTest, AnythingElseIsNoWait) {
  for (const char* value : {"", " ", "-1", "1.5", "soon", "12 s", "1000000000",
                            "99999999999999999999999", "Wed, 21 Oct 2015 07:28:00 UTC",
                            "Wed, 32 Oct 2015 07:28:00 GMT", "Wed, 21 Okt 2015 07:28:00 GMT",
                            "Wed, 21 Oct 2015 24:28:00 GMT", "Wednesday, 21-Oct-15 07:28:00 GMT"}) {
    EXPECT_EQ(RetryAfterWait(value, kNow), std::nullopt) << "'" << value << "'";
  }
}

}  // namespace
}  // namespace pelmo
