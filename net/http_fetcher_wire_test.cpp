// HttpFetcher against a bare TCP peer: servers that fail (no answer, a cut body, a stalled
// answer), the request as it goes out, and a proxy.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>

#include "net/http_fetcher.h"
#include "net/raw_test_server.h"

namespace pelmo {
namespace {

using net_test::RawTestServer;
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
  HttpFetcher fetcher;
  ASSERT_NE(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_EQ(*fetcher.pageText, "page\r\n");
  EXPECT_EQ(fetcher.Attempts(), 12);
  EXPECT_EQ(server.connections(), 12);
}

TEST(HttpWireTest, TwelveFailuresGiveNull) {
  RawTestServer server(CloseFirst(12));
  HttpFetcher fetcher;
  EXPECT_EQ(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_FALSE(fetcher.pageText.has_value());
  EXPECT_FALSE(fetcher.rawText.has_value());
  EXPECT_EQ(fetcher.Outcome(), FetchOutcome::RequestFailed);
  EXPECT_EQ(fetcher.FailureReason(), "connection closed without a response");
  EXPECT_EQ(fetcher.Attempts(), 12);
  EXPECT_EQ(server.connections(), 12);
}

TEST(HttpWireTest, AttemptLimitIsASetting) {
  RawTestServer server(CloseFirst(100));
  HttpFetchOptions options;
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
  HttpFetcher fetcher;
  EXPECT_EQ(fetcher.Fetch("http://127.0.0.1:" + std::to_string(port) + "/t"), nullptr);
  EXPECT_EQ(fetcher.Outcome(), FetchOutcome::RequestFailed);
  EXPECT_EQ(fetcher.FailureReason(), "connection refused");
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
  EXPECT_EQ(fetcher.FailureReason(), "timed out");
  EXPECT_EQ(server.connections(), 2);
  EXPECT_GE(elapsed, std::chrono::milliseconds(1900));
  EXPECT_LT(elapsed, std::chrono::seconds(8));
}

// Once the status is in, a broken body is not worth another request.
TEST(HttpWireTest, BodyCutShortGivesNullWithoutRetry) {
  RawTestServer server([](int fd, int) {
    net_test::ReadRequestHead(fd);
    net_test::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this");
    return After::Close;
  });
  HttpFetcher fetcher;
  EXPECT_EQ(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_FALSE(fetcher.rawText.has_value());
  EXPECT_EQ(fetcher.Outcome(), FetchOutcome::BodyFailed);
  EXPECT_EQ(fetcher.HttpStatus(), 200);
  EXPECT_EQ(server.connections(), 1);
}

TEST(HttpWireTest, StalledBodyTimesOutWithoutRetry) {
  RawTestServer server([](int fd, int) {
    net_test::ReadRequestHead(fd);
    net_test::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\ns");
    return After::KeepOpen;
  });
  HttpFetchOptions options;
  options.stallTimeout = std::chrono::seconds(1);
  HttpFetcher fetcher(options);
  EXPECT_EQ(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_EQ(fetcher.Outcome(), FetchOutcome::BodyFailed);
  EXPECT_EQ(fetcher.FailureReason(), "timed out");
  EXPECT_EQ(server.connections(), 1);
}

// The body of an error page is never read, so its loss does not matter.
TEST(HttpWireTest, ErrorStatusWithCutBodyStillCounts) {
  RawTestServer server([](int fd, int) {
    net_test::ReadRequestHead(fd);
    net_test::SendAll(fd, "HTTP/1.1 503 Busy\r\nContent-Length: 100\r\n\r\nsorr");
    return After::Close;
  });
  HttpFetcher fetcher;
  ASSERT_NE(fetcher.Fetch(server.Url("http", "/t")), nullptr);
  EXPECT_EQ(*fetcher.pageText, "");
  EXPECT_EQ(fetcher.Outcome(), FetchOutcome::StatusNotOk);
  EXPECT_EQ(fetcher.HttpStatus(), 503);
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
  HttpFetcher fetcher;
  EXPECT_EQ(fetcher.Fetch(server.Url("https", "/t")), nullptr);
  EXPECT_EQ(fetcher.Outcome(), FetchOutcome::RequestFailed);
  EXPECT_EQ(server.connections(), 12);
}

}  // namespace
}  // namespace pelmo
