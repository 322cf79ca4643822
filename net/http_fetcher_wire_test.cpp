// HttpFetcher against a bare TCP peer: servers that fail (no answer, a cut body, a stalled
// answer), the request as it goes out, and a proxy.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/connection_share.h"
#include "net/http_fetcher.h"
#include "net/raw_test_server.h"
#include "net/test_clock_for_test.h"

namespace pelmo {
namespace {

using net_test::KeptResponse;
using net_test::QuickRetries;
using net_test::RawTestServer;
using net_test::RecordingClock;
using net_test::RushingClock;
using After = RawTestServer::After;

std::string Response(const std::string& head, const std::string& body) {
  return head + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

// Reads each request, closes the first `failures` connections without a word and answers
// the others with a small page.
RawTestServer::Handler CloseFirst(int failures) {
  return [failures](int fd, int index) {
    net_test::ReadRequestHead(fd);
    if (index >= failures) {
      net_test::SendAll(fd, Response("HTTP/1.1 200 OK", "page\n"));
    }
    return After::Close;
  };
}

TEST(HttpWireTest, ElevenFailuresThenAPage) {
  RawTestServer server(CloseFirst(11));
  HttpFetcher fetcher(QuickRetries());
  ASSERT_NE(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_EQ(*fetcher.pageText, "page\r\n");
  EXPECT_EQ(fetcher.Attempts(), 12);
  EXPECT_EQ(server.connections(), 12);
}

TEST(HttpWireTest, TwelveFailuresGiveNull) {
  RawTestServer server(CloseFirst(12));
  HttpFetcher fetcher(QuickRetries());
  EXPECT_EQ(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_FALSE(fetcher.pageText.has_value());
  EXPECT_FALSE(fetcher.rawText.has_value());
  EXPECT_EQ(fetcher.LastResult().reason, Reason::NoAnswer);
  EXPECT_EQ(fetcher.LastResult().message, "connection closed without a response");
  EXPECT_EQ(fetcher.Attempts(), 12);
  EXPECT_EQ(server.connections(), 12);
}

TEST(HttpWireTest, AttemptLimitIsASetting) {
  RawTestServer server(CloseFirst(100));
  HttpFetchOptions options = QuickRetries();
  options.maxAttempts = 3;
  HttpFetcher fetcher(options);
  EXPECT_EQ(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_EQ(server.connections(), 3);
}

TEST(HttpWireTest, RefusedConnectionIsRetriedAndReported) {
  int port;
  {
    RawTestServer closed(CloseFirst(0));
    port = closed.port();
  }
  HttpFetcher fetcher(QuickRetries());
  EXPECT_EQ(fetcher.Fetch("http://127.0.0.1:" + std::to_string(port) + "/t"), nullptr);
  EXPECT_EQ(fetcher.LastResult().reason, Reason::NoAnswer);
  EXPECT_EQ(fetcher.LastResult().message, "connection refused");
  EXPECT_EQ(fetcher.Attempts(), 12);
}

TEST(HttpWireTest, ServerThatNeverAnswersTimesOut) {
  RawTestServer server([](int, int) { return After::KeepOpen; });
  HttpFetchOptions options;
  options.stallTimeout = std::chrono::seconds(1);
  options.maxAttempts = 2;
  HttpFetcher fetcher(options);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(fetcher.LastResult().message, "timed out");
  EXPECT_EQ(server.connections(), 2);
  EXPECT_GE(elapsed, std::chrono::milliseconds(1900));
  EXPECT_LT(elapsed, std::chrono::seconds(8));
}

// A body cut short is an ordinary failed attempt: the next one may well succeed.
TEST(HttpWireTest, BodyCutShortIsTriedAgain) {
  RawTestServer server([](int fd, int index) {
    net_test::ReadRequestHead(fd);
    net_test::SendAll(fd, index < 2 ? "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this"
                                    : Response("HTTP/1.1 200 OK", "whole"));
    return After::Close;
  });
  HttpFetcher fetcher(QuickRetries());
  ASSERT_NE(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_EQ(*fetcher.pageText, "whole");
  EXPECT_EQ(fetcher.Attempts(), 3);
  EXPECT_TRUE(fetcher.LastResult().ok());
}

// A service that answered once, even with a broken body, is there: later attempts that get
// no answer at all do not make the fetch count as unanswered.
TEST(HttpWireTest, AnsweredOnceIsNotNoAnswer) {
  RawTestServer server([](int fd, int index) {
    net_test::ReadRequestHead(fd);
    if (index == 0) {
      net_test::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this");
    }
    return After::Close;
  });
  HttpFetchOptions options = QuickRetries();
  options.maxAttempts = 3;
  HttpFetcher fetcher(options);
  EXPECT_EQ(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_EQ(fetcher.LastResult().reason, Reason::RequestFailed);
  EXPECT_EQ(fetcher.LastResult().message, "connection closed without a response");
  EXPECT_EQ(fetcher.Attempts(), 3);
}

TEST(HttpWireTest, BodyCutShortEveryTimeGivesNull) {
  RawTestServer server([](int fd, int) {
    net_test::ReadRequestHead(fd);
    net_test::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this");
    return After::Close;
  });
  HttpFetcher fetcher(QuickRetries());
  EXPECT_EQ(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_FALSE(fetcher.rawText.has_value());
  EXPECT_EQ(fetcher.LastResult().reason, Reason::BodyCutShort);
  EXPECT_EQ(fetcher.HttpStatus(), 200);
  EXPECT_EQ(server.connections(), 12);
}

TEST(HttpWireTest, StalledBodyTimesOutAndIsTriedAgain) {
  RawTestServer server([](int fd, int) {
    net_test::ReadRequestHead(fd);
    net_test::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\ns");
    return After::KeepOpen;
  });
  HttpFetchOptions options = QuickRetries();
  options.stallTimeout = std::chrono::seconds(1);
  options.maxAttempts = 2;
  HttpFetcher fetcher(options);
  EXPECT_EQ(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_EQ(fetcher.LastResult().reason, Reason::BodyCutShort);
  EXPECT_EQ(fetcher.LastResult().message, "timed out");
  EXPECT_EQ(server.connections(), 2);
}

// A byte every 200 ms keeps the stall time-out quiet; the bound on the whole attempt ends it.
TEST(HttpWireTest, TricklingBodyTimesOutAsAWhole) {
  RawTestServer server([](int fd, int) {
    net_test::ReadRequestHead(fd);
    net_test::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
    for (int i = 0; i < 15 && send(fd, "x", 1, MSG_NOSIGNAL) == 1; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return After::Close;
  });
  HttpFetchOptions options = QuickRetries();
  options.stallTimeout = std::chrono::seconds(1);
  options.attemptTimeout = std::chrono::milliseconds(1500);
  options.maxAttempts = 1;
  HttpFetcher fetcher(options);
  EXPECT_EQ(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_EQ(fetcher.LastResult().reason, Reason::OutOfTime);
  EXPECT_EQ(fetcher.LastResult().message, "timed out");
}

// The pauses between failed attempts double from the first one up to the largest; a
// service gets time to come back, and the attempts of one page end all the same.
TEST(HttpWireTest, FailedAttemptsAreSpacedOut) {
  std::vector<std::chrono::steady_clock::time_point> arrivals;
  RawTestServer server([&arrivals](int fd, int) {
    arrivals.push_back(std::chrono::steady_clock::now());
    net_test::ReadRequestHead(fd);
    return After::Close;
  });
  HttpFetchOptions options;
  options.firstRetryDelay = std::chrono::milliseconds(20);
  options.maxRetryDelay = std::chrono::milliseconds(40);
  HttpFetcher fetcher(options);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << "no cap";
  ASSERT_EQ(arrivals.size(), 12u);
  for (std::size_t i = 1; i < arrivals.size(); ++i) {
    const auto least = std::chrono::milliseconds(i == 1 ? 20 : 40);
    EXPECT_GE(arrivals[i] - arrivals[i - 1], least) << "before attempt " << i + 1;
  }
}

// Serves every request of a connection with a page naming its connection and request,
// leaving the connection open; `closeAfter` requests end it silently, as a service's idle
// time-out does. A `cutAt` request (counted over all connections) gets half a body.
RawTestServer::Handler KeepAlive(int closeAfter, int cutAt = -1) {
  auto served = std::make_shared<int>(0);
  return [=](int fd, int index) {
    for (int i = 0; i < closeAfter; ++i) {
      if (net_test::ReadRequestHead(fd).empty()) {
        break;
      }
      // Built by appending: g++ 12 at -O3 warns falsely on the chained operator+ here.
      std::string body = "c";
      body += std::to_string(index);
      body += 'r';
      body += std::to_string(i);
      if ((*served)++ == cutAt) {
        net_test::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nhalf");
        break;
      }
      net_test::SendAll(fd, KeptResponse(body));
    }
    return After::Close;
  };
}

// Fetches `count` pages one after another through fresh fetchers on one share; returns their
// texts, or the failure reason in place of a page.
std::vector<std::string> FetchPages(const RawTestServer& server, int count,
                                    std::vector<int>* attempts = nullptr) {
  ConnectionShare share;
  std::vector<std::string> pages;
  for (int i = 0; i < count; ++i) {
    HttpFetcher fetcher(QuickRetries(), &share);
    const std::string* text = fetcher.Fetch(server.Url("http", "/t?p=" + std::to_string(i)));
    pages.push_back(text ? *text : fetcher.LastResult().message);
    if (attempts) {
      attempts->push_back(fetcher.Attempts());
    }
  }
  return pages;
}

TEST(HttpWireTest, SharedFetchersKeepOneConnection) {
  RawTestServer server(KeepAlive(100));
  std::vector<int> attempts;
  EXPECT_EQ(FetchPages(server, 3, &attempts), (std::vector<std::string>{"c0r0", "c0r1", "c0r2"}));
  EXPECT_EQ(attempts, (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(server.connections(), 1);
}

// A kept connection the service closed between pages costs no attempt: the request goes
// out again on a new connection.
TEST(HttpWireTest, KeptConnectionClosedBetweenPages) {
  RawTestServer server(KeepAlive(1));
  std::vector<int> attempts;
  EXPECT_EQ(FetchPages(server, 3, &attempts), (std::vector<std::string>{"c0r0", "c1r0", "c2r0"}));
  EXPECT_EQ(attempts, (std::vector<int>{1, 1, 1}));
}

// Closed part way through an answer, the attempt has failed; the next one has the page.
TEST(HttpWireTest, KeptConnectionClosedMidResponse) {
  RawTestServer server(KeepAlive(100, 1));
  std::vector<int> attempts;
  EXPECT_EQ(FetchPages(server, 3, &attempts), (std::vector<std::string>{"c0r0", "c1r0", "c1r1"}));
  EXPECT_EQ(attempts, (std::vector<int>{1, 2, 1}));
}

// The body of an error page is never read, so its loss does not matter.
TEST(HttpWireTest, ErrorStatusWithCutBodyStillCounts) {
  RawTestServer server([](int fd, int) {
    net_test::ReadRequestHead(fd);
    net_test::SendAll(fd, "HTTP/1.1 500 Broken\r\nContent-Length: 100\r\n\r\nsorr");
    return After::Close;
  });
  HttpFetcher fetcher;
  ASSERT_NE(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_EQ(*fetcher.pageText, "");
  EXPECT_EQ(fetcher.LastResult().reason, Reason::StatusNotOk);
  EXPECT_EQ(fetcher.HttpStatus(), 500);
  EXPECT_EQ(server.connections(), 1);
}

// Fetchers on one share pass the library's handle on; each must still go out with its own
// settings, and the connection stays kept across them.
TEST(HttpWireTest, SharedFetchersEachSendTheirOwnSettings) {
  RawTestServer* self = nullptr;
  RawTestServer server([&self](int fd, int) {
    while (true) {
      const std::string head = net_test::ReadRequestHead(fd);
      if (head.empty()) {
        break;
      }
      self->Remember(head);
      net_test::SendAll(fd, KeptResponse("x"));
    }
    return After::Close;
  });
  self = &server;
  ConnectionShare share;
  for (const char* agent : {"first", "second", "third"}) {
    HttpFetchOptions options;
    options.userAgent = agent;
    HttpFetcher fetcher(options, &share);
    ASSERT_NE(fetcher.Fetch(server.Url("http", "/t")), nullptr) << agent;
  }
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_NE(requests[0].find("\r\nUser-Agent: first\r\n"), std::string::npos);
  EXPECT_NE(requests[1].find("\r\nUser-Agent: second\r\n"), std::string::npos);
  EXPECT_NE(requests[2].find("\r\nUser-Agent: third\r\n"), std::string::npos);
  EXPECT_EQ(server.connections(), 1);
}

TEST(HttpWireTest, RequestIsAPlainGet) {
  RawTestServer* self = nullptr;
  RawTestServer server([&self](int fd, int) {
    self->Remember(net_test::ReadRequestHead(fd));
    net_test::SendAll(fd, Response("HTTP/1.1 200 OK", "x"));
    return After::Close;
  });
  self = &server;
  HttpFetchOptions options;
  options.userAgent = "pelmo";
  HttpFetcher fetcher(options);
  ASSERT_NE(fetcher.Fetch(server.Url("http", "/t?a=1&b=2")), nullptr);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::string expected =
      "GET /t?a=1&b=2 HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
      "\r\nUser-Agent: pelmo\r\nAccept: */*\r\n\r\n";
  EXPECT_EQ(requests[0], expected);
}

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
    }
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// The test hook shortens the pauses only when asked for, and nothing else.
TEST(HttpWireTest, QuickPausesOnlyForTests) {
  const HttpFetchOptions defaults;
  EXPECT_EQ(ProgramFetchOptions().firstRetryDelay, defaults.firstRetryDelay);
  EXPECT_EQ(ProgramFetchOptions().maxRetryDelay, defaults.maxRetryDelay);
  {
    ScopedEnv env("PELMO_QUICK_PAUSES_FOR_TESTS", "0");
    EXPECT_EQ(ProgramFetchOptions().maxRetryDelay, defaults.maxRetryDelay);
  }
  ScopedEnv env("PELMO_QUICK_PAUSES_FOR_TESTS", "1");
  const HttpFetchOptions quick = ProgramFetchOptions();
  EXPECT_EQ(quick.firstRetryDelay, std::chrono::milliseconds(1));
  EXPECT_EQ(quick.maxRetryDelay, std::chrono::milliseconds(1));
  EXPECT_EQ(quick.maxAttempts, defaults.maxAttempts);
  EXPECT_EQ(quick.attemptTimeout, defaults.attemptTimeout);
  EXPECT_EQ(quick.pageTimeout, defaults.pageTimeout);
}

// The other hook shortens the time bounds only, and only when asked for.
TEST(HttpWireTest, ShortBoundsOnlyForTests) {
  const HttpFetchOptions defaults;
  EXPECT_EQ(ProgramFetchOptions().pageTimeout, defaults.pageTimeout);
  ScopedEnv env("PELMO_SHORT_BOUNDS_FOR_TESTS", "1");
  const HttpFetchOptions bounded = ProgramFetchOptions();
  EXPECT_EQ(bounded.stallTimeout, std::chrono::seconds(1));
  EXPECT_EQ(bounded.attemptTimeout, std::chrono::seconds(2));
  EXPECT_EQ(bounded.pageTimeout, std::chrono::seconds(4));
  EXPECT_EQ(bounded.firstRetryDelay, defaults.firstRetryDelay);
  EXPECT_EQ(bounded.maxAttempts, defaults.maxAttempts);
}

TEST(HttpWireTest, ProxyIsTakenFromTheEnvironment) {
  RawTestServer* self = nullptr;
  RawTestServer proxy([&self](int fd, int) {
    self->Remember(net_test::ReadRequestHead(fd));
    net_test::SendAll(fd, Response("HTTP/1.1 200 OK", "via proxy"));
    return After::Close;
  });
  self = &proxy;
  ScopedEnv env("http_proxy", proxy.Url("http", ""));
  HttpFetcher fetcher;
  ASSERT_NE(fetcher.Fetch("http://quotes.test/t?a=1"), nullptr);
  EXPECT_EQ(*fetcher.pageText, "via proxy");
  const auto requests = proxy.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(requests[0].starts_with("GET http://quotes.test/t?a=1 HTTP/1.1\r\n")) << requests[0];
}

// https: takes the network path like http:; a peer that hangs up makes every handshake fail.
TEST(HttpWireTest, HttpsAddressIsFetchedOverTheNetwork) {
  RawTestServer server([](int, int) { return After::Close; });
  HttpFetcher fetcher(QuickRetries());
  EXPECT_EQ(fetcher.Fetch(server.Url("https", "/t")), nullptr);
  EXPECT_EQ(fetcher.LastResult().reason, Reason::NoAnswer);
  EXPECT_EQ(server.connections(), 12);
}

// A port on 127.0.0.1 on which nothing listens.
int ClosedPort() {
  RawTestServer closed(CloseFirst(0));
  return closed.port();
}

// The program's own settings, only the clock is the test's: the pauses of a fetch whose
// every attempt fails, exactly as the program would wait them.
TEST(HttpWireTest, DefaultFetchPausesOnSchedule) {
  RecordingClock clock;
  HttpFetchOptions options;
  options.clockForTests = &clock;
  HttpFetcher fetcher(options);
  EXPECT_EQ(fetcher.Fetch("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/t"), nullptr);
  EXPECT_EQ(fetcher.Attempts(), 12);
  const std::vector<std::chrono::milliseconds> expected = {
      std::chrono::milliseconds(250),  std::chrono::milliseconds(500),
      std::chrono::milliseconds(1000), std::chrono::milliseconds(2000),
      std::chrono::milliseconds(4000), std::chrono::milliseconds(4000),
      std::chrono::milliseconds(4000), std::chrono::milliseconds(4000),
      std::chrono::milliseconds(4000), std::chrono::milliseconds(4000),
      std::chrono::milliseconds(4000)};
  EXPECT_EQ(clock.pauses, expected);
}

// Sends `answer` on each of the first `cut` connections and closes; a page after that.
RawTestServer::Handler CutFirst(int cut, std::string answer) {
  return [cut, answer](int fd, int index) {
    net_test::ReadRequestHead(fd);
    net_test::SendAll(fd, index < cut ? answer : Response("HTTP/1.1 200 OK", "page"));
    return After::Close;
  };
}

// An answer that ends inside its headers is a failed attempt, never an empty page.
TEST(HttpWireTest, AnswerCutInsideItsHeadersIsTriedAgain) {
  for (const char* cut :
       {"HTTP/1.1 200 OK\r\n", "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n",
        "HTTP/1.1 200 OK\r\nContent-Le", "HTTP/1.1 200", "HTTP/1.1 200 OK\r\n\r\n"}) {
    RecordingClock clock;
    HttpFetchOptions options;
    options.clockForTests = &clock;
    RawTestServer server(CutFirst(2, cut));
    HttpFetcher fetcher(options);
    ASSERT_NE(fetcher.Fetch(server.Url("http", "/t")), nullptr) << cut;
    EXPECT_EQ(*fetcher.pageText, "page");
    EXPECT_EQ(fetcher.Attempts(), 3) << cut;
  }
}

TEST(HttpWireTest, AnswerCutInsideItsHeadersEveryTimeFails) {
  RecordingClock clock;
  HttpFetchOptions options;
  options.clockForTests = &clock;
  RawTestServer server(CutFirst(100, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"));
  HttpFetcher fetcher(options);
  EXPECT_EQ(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_FALSE(fetcher.pageText.has_value());
  EXPECT_EQ(fetcher.LastResult().reason, Reason::BodyCutShort);
  EXPECT_EQ(fetcher.LastResult().message, "answer cut short");
  EXPECT_EQ(server.connections(), 12);
}

// Bytes that do not begin with a status line are no page either.
TEST(HttpWireTest, AnswerWithoutStatusLineFails) {
  RecordingClock clock;
  HttpFetchOptions options;
  options.clockForTests = &clock;
  RawTestServer server(CutFirst(100, "page without a status line\r\n\r\n"));
  HttpFetcher fetcher(options);
  EXPECT_EQ(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_EQ(fetcher.LastResult().message, "answer cut short");
  EXPECT_EQ(server.connections(), 12);
}

// Accepting and never answering: with no stall time-out to end it, the bound on the whole
// attempt does, and the page's bound ends the attempts.
TEST(HttpWireTest, SilentServiceIsEndedByTheBoundsOnTime) {
  RawTestServer server([](int fd, int) {
    net_test::ReadRequestHead(fd);
    return After::KeepOpen;
  });
  RushingClock clock(1000);
  HttpFetchOptions options;
  options.stallTimeout = std::chrono::seconds(3600);
  options.clockForTests = &clock;
  HttpFetcher fetcher(options);
  EXPECT_EQ(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_EQ(fetcher.LastResult().reason, Reason::OutOfTime);
  EXPECT_EQ(fetcher.LastResult().message, "timed out");
  EXPECT_LT(server.connections(), 12);
}

// Headers at once, then a byte at a time: each attempt ends at its bound, the second at the
// page's, and no third begins.
TEST(HttpWireTest, TricklingBodyCostsAPageAtMostItsBound) {
  std::atomic<bool> done{false};
  RawTestServer server([&done](int fd, int) {
    net_test::ReadRequestHead(fd);
    net_test::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
    while (!done && send(fd, "x", 1, MSG_NOSIGNAL) == 1) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return After::Close;
  });
  RushingClock clock(1000);
  HttpFetchOptions options;
  options.clockForTests = &clock;
  HttpFetcher fetcher(options);
  EXPECT_EQ(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  done = true;
  EXPECT_EQ(fetcher.LastResult().reason, Reason::OutOfTime);
  EXPECT_EQ(fetcher.LastResult().message, "timed out");
  EXPECT_EQ(fetcher.Attempts(), 2);
  EXPECT_EQ(server.connections(), 2);
}

// Answers `busy` times with `status` and the Retry-After `wait`, then with a page.
RawTestServer::Handler BusyFirst(int busy, int status, const std::string& wait) {
  const std::string answer = "HTTP/1.1 " + std::to_string(status) +
                             " Busy\r\nRetry-After: " + wait +
                             "\r\nContent-Length: 4\r\nConnection: close\r\n\r\nbusy";
  return CutFirst(busy, answer);
}

TEST(HttpWireTest, BusyServiceIsAskedAgainAfterItsWait) {
  RecordingClock clock;
  HttpFetchOptions options;
  options.clockForTests = &clock;
  RawTestServer server(BusyFirst(2, 429, "60"));
  HttpFetcher fetcher(options);
  ASSERT_NE(fetcher.Fetch(server.Url("http", "/t")), nullptr) << fetcher.LastResult().message;
  EXPECT_EQ(*fetcher.pageText, "page");
  EXPECT_EQ(server.connections(), 3);
  EXPECT_EQ(clock.pauses, (std::vector<std::chrono::milliseconds>{std::chrono::seconds(60),
                                                                  std::chrono::seconds(60)}));
}

TEST(HttpWireTest, BusyServiceAskingForLongerFailsThePage) {
  RecordingClock clock;
  HttpFetchOptions options;
  options.clockForTests = &clock;
  RawTestServer server(BusyFirst(100, 503, "3600"));
  HttpFetcher fetcher(options);
  EXPECT_EQ(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_FALSE(fetcher.pageText.has_value());
  EXPECT_EQ(fetcher.LastResult().reason, Reason::ServiceBusy);
  EXPECT_EQ(fetcher.LastResult().message, "the quote service asks to wait 3600 s");
  EXPECT_EQ(fetcher.HttpStatus(), 503);
  EXPECT_EQ(server.connections(), 1);
  EXPECT_TRUE(clock.pauses.empty());
}

}  // namespace
}  // namespace pelmo
