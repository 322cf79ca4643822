#include "tools/quote_server/quote_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <future>

#include "tools/quote_server/euc_jp.h"
#include "tools/quote_server/page_writer.h"
#include "tools/quote_server/test_certificate.h"
#include "tools/quote_server/test_support.h"

namespace pelmo::quote_server {
namespace {

using testing::EucJpToUtf8;
using testing::RunningServer;
using testing::TableTexts;

const char* const kPriceTarget = "/t?c=2007&a=1&b=5&f=2007&d=3&e=31&g=d&s=7203.t&y=0&z=7203.t";
const char* const kMarginTarget = "/bt?s=7203.t&a=1&b=5&c=2007&d=3&e=31&f=2007";

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "quote_server_" + std::to_string(::getpid()) + "_" + name;
}

std::vector<std::string> LinesOf(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

// Sends `request` on a new connection and returns everything the server sent back
// before closing.
std::string RawExchange(int port, const std::string& request) {
  const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(::send(sock, request.data(), request.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(request.size()));
  std::string reply;
  char chunk[4096];
  ssize_t got = 0;
  while ((got = ::recv(sock, chunk, sizeof chunk, 0)) > 0) {
    reply.append(chunk, static_cast<std::size_t>(got));
  }
  EXPECT_EQ(got, 0) << "the connection ended with an error, not a close";
  ::close(sock);
  return reply;
}

std::string GetRequest(const std::string& target) {
  return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
}

// A connected socket to the server on 127.0.0.1; -1 on failure.
int Connect(int port) {
  const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(sock);
    return -1;
  }
  return sock;
}

// Sends one request without asking for a close and reads its whole response (head and a
// body of Content-Length bytes); empty if the server closed first.
std::string Exchange(int sock, const std::string& target) {
  const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  ::send(sock, request.data(), request.size(), MSG_NOSIGNAL);
  std::string reply;
  char chunk[4096];
  for (;;) {
    const std::size_t headEnd = reply.find("\r\n\r\n");
    if (headEnd != std::string::npos) {
      const std::size_t at = reply.find("Content-Length: ");
      const std::size_t length = at < headEnd ? std::stoul(reply.substr(at + 16)) : 0;
      if (reply.size() >= headEnd + 4 + length) {
        return reply;
      }
    }
    const ssize_t got = ::recv(sock, chunk, sizeof chunk, 0);
    if (got <= 0) {
      return {};
    }
    reply.append(chunk, static_cast<std::size_t>(got));
  }
}

TEST(QuoteServer, ConnectionsAreKeptForMoreRequests) {
  ServerOptions options;
  options.logPath = TempPath("kept.log");
  RunningServer server(options);
  const int sock = Connect(server.Port());
  ASSERT_GE(sock, 0);
  for (const char* target : {kPriceTarget, kMarginTarget, "/nothing"}) {
    const std::string reply = Exchange(sock, target);
    EXPECT_EQ(reply.find("Connection: close"), std::string::npos) << target;
    EXPECT_NE(reply.find("Keep-Alive"), std::string::npos) << target;
  }
  ::close(sock);
  EXPECT_EQ(LinesOf(options.logPath),
            (std::vector<std::string>{kPriceTarget, kMarginTarget, "/nothing"}));
  std::remove(options.logPath.c_str());
}

TEST(QuoteServer, CloseOptionAnswersOneRequestPerConnection) {
  ServerOptions options;
  options.keepAlive = false;
  RunningServer server(options);
  const int sock = Connect(server.Port());
  ASSERT_GE(sock, 0);
  const std::string first = Exchange(sock, kPriceTarget);
  EXPECT_EQ(first.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  EXPECT_NE(first.find("Connection: close"), std::string::npos);
  EXPECT_EQ(Exchange(sock, kPriceTarget), "") << "a second request was answered";
  ::close(sock);
}

TEST(QuoteServer, ServesHttpsWithTheGivenCertificate) {
  const auto certificate = testing::MakeTestCertificate(::testing::TempDir(), "qs_https");
  ASSERT_TRUE(certificate.made) << "the openssl command could not make a certificate";
  ServerOptions options;
  options.certPath = certificate.certPath;
  options.keyPath = certificate.keyPath;
  RunningServer server(options);
  httplib::SSLClient client("127.0.0.1", server.Port());
  client.set_ca_cert_path(certificate.certPath.c_str());
  client.enable_server_certificate_verification(true);
  const auto response = client.Get(kPriceTarget);
  ASSERT_TRUE(response) << httplib::to_string(response.error());
  EXPECT_EQ(response->status, 200);
  EXPECT_EQ(TableTexts(EucJpToUtf8(response->body)).size(), 51u);

  ServerOptions wrongKey = options;
  wrongKey.port = 0;
  wrongKey.keyPath = certificate.certPath;
  const BindResult bound = QuoteServer(wrongKey).Bind();
  EXPECT_EQ(bound.port, -1);
  EXPECT_NE(bound.error.find("certificate"), std::string::npos) << bound.error;
}

TEST(QuoteServer, PricePageOverHttp) {
  RunningServer server;
  httplib::Client client("127.0.0.1", server.Port());
  const auto response = client.Get(kPriceTarget);
  ASSERT_TRUE(response) << httplib::to_string(response.error());
  EXPECT_EQ(response->status, 200);
  EXPECT_EQ(response->get_header_value("Content-Type"), "text/html; charset=EUC-JP");
  const std::string page = EucJpToUtf8(response->body);
  EXPECT_EQ(response->body, ToEucJp(page));
  const auto rows = TableTexts(page);
  ASSERT_EQ(rows.size(), 51u);
  EXPECT_EQ(rows[1][0], "2007年3月30日");
  EXPECT_EQ(rows[1][4], "688");
  EXPECT_EQ(rows[50][0], "2007年1月22日");
  EXPECT_EQ(response->body.find('\r'), std::string::npos);
}

TEST(QuoteServer, PagesAreNeverCompressed) {
  RunningServer server;
  const std::string reply = RawExchange(
      server.Port(), "GET " + std::string(kPriceTarget) +
                         " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept-Encoding: gzip, deflate, br\r\n"
                         "Connection: close\r\n\r\n");
  const auto headEnd = reply.find("\r\n\r\n");
  ASSERT_NE(headEnd, std::string::npos);
  EXPECT_EQ(reply.substr(0, headEnd).find("Content-Encoding"), std::string::npos);
  EXPECT_NE(reply.find(*ToEucJp("2007年3月30日"), headEnd), std::string::npos);
}

TEST(QuoteServer, MarginPageOverHttp) {
  RunningServer server;
  httplib::Client client("127.0.0.1", server.Port());
  const auto response = client.Get(kMarginTarget);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 200);
  const auto rows = TableTexts(EucJpToUtf8(response->body));
  ASSERT_EQ(rows.size(), 14u);  // header and the 13 Fridays from 5 January to 30 March
  EXPECT_EQ(rows[0][1], "売残");
  EXPECT_EQ(rows[1][0], "2007年3月30日");
  EXPECT_EQ(rows[13][0], "2007年1月5日");
}

TEST(QuoteServer, StatusCodes) {
  RunningServer server;
  httplib::Client client("127.0.0.1", server.Port());
  struct Case {
    std::string target;
    int status;
  };
  const std::vector<Case> cases = {
      {"/t?c=2007&a=1&b=5&f=2007&d=3&e=31&g=d&s=7203.t&y=0", 400},  // no z
      {"/t?c=2007&a=-1&b=5&f=2007&d=3&e=31&g=d&s=7203.t&y=0&z=7203.t", 400},
      {"/t?c=2007&a=2&b=30&f=2007&d=3&e=31&g=d&s=7203.t&y=0&z=7203.t", 400},
      {"/t?c=2007&a=1&b=5&f=2007&d=3&e=31&g=q&s=7203.t&y=0&z=7203.t", 400},
      {"/bt?s=7203.t&a=1&b=5&c=2007&d=3&e=31", 400},
      {"/t", 400},
      {"/", 404},
      {"/t/", 404},
      {"/tt?c=2007", 404},
      {"/bt/x", 404},
      {"/t?c=2008&a=1&b=5&f=2007&d=3&e=31&g=d&s=7203.t&y=0&z=7203.t", 200},  // reversed
      {"/t?c=2007&a=1&b=5&f=2007&d=3&e=31&g=d&s=0123.t&y=0&z=0123.t", 200},
  };
  for (const Case& c : cases) {
    const auto response = client.Get(c.target);
    ASSERT_TRUE(response) << c.target;
    EXPECT_EQ(response->status, c.status) << c.target;
    if (c.status != 200) {
      EXPECT_FALSE(response->body.empty()) << c.target;
    } else {
      EXPECT_LE(TableTexts(EucJpToUtf8(response->body)).size(), 1u) << c.target;
    }
  }
}

TEST(QuoteServer, CrlfServesTheSamePageWithCrLfLineEnds) {
  RunningServer lf;
  ServerOptions options;
  options.crlf = true;
  RunningServer crlf(options);
  const auto plain = httplib::Client("127.0.0.1", lf.Port()).Get(kPriceTarget);
  const auto expanded = httplib::Client("127.0.0.1", crlf.Port()).Get(kPriceTarget);
  ASSERT_TRUE(plain && expanded);
  const std::string& body = expanded->body;
  std::size_t lineEnds = 0;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] == '\n') {
      ++lineEnds;
      ASSERT_TRUE(i > 0 && body[i - 1] == '\r') << "bare LF at byte " << i;
    } else if (body[i] == '\r') {
      ASSERT_TRUE(i + 1 < body.size() && body[i + 1] == '\n') << "bare CR at byte " << i;
    }
  }
  EXPECT_GT(lineEnds, 400u);
  std::string stripped = body;
  std::erase(stripped, '\r');
  EXPECT_EQ(stripped, plain->body);
}

TEST(QuoteServer, FailFirstClosesConnectionsWithoutAnAnswer) {
  ServerOptions options;
  options.failFirst = 2;
  options.logPath = TempPath("fail_first.log");
  RunningServer server(options);
  EXPECT_EQ(RawExchange(server.Port(), GetRequest(kPriceTarget)), "");
  httplib::Client client("127.0.0.1", server.Port());
  const auto second = client.Get(kPriceTarget);
  EXPECT_FALSE(second);
  const std::string third = RawExchange(server.Port(), GetRequest(kPriceTarget));
  EXPECT_EQ(third.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << third.substr(0, 100);
  const auto fourth = client.Get(kMarginTarget);
  ASSERT_TRUE(fourth);
  EXPECT_EQ(fourth->status, 200);
  // Dropped requests are logged too: the log shows every attempt.
  EXPECT_EQ(LinesOf(options.logPath),
            (std::vector<std::string>{kPriceTarget, kPriceTarget, kPriceTarget, kMarginTarget}));
  std::remove(options.logPath.c_str());
}

TEST(QuoteServer, LogHoldsEveryRequestAsSoonAsItIsAnswered) {
  ServerOptions options;
  options.logPath = TempPath("requests.log");
  RunningServer server(options);
  httplib::Client client("127.0.0.1", server.Port());
  const std::vector<std::string> targets = {kPriceTarget, "/nothing?x=1", "/t?c=1", kMarginTarget,
                                            "/t?s=a%20b"};
  for (std::size_t i = 0; i < targets.size(); ++i) {
    ASSERT_TRUE(client.Get(targets[i])) << targets[i];
    const auto lines = LinesOf(options.logPath);
    ASSERT_EQ(lines.size(), i + 1);
    EXPECT_EQ(lines[i], targets[i]);
  }
  std::remove(options.logPath.c_str());
}

TEST(QuoteServer, BindFailures) {
  ServerOptions badLog;
  badLog.port = 0;
  badLog.logPath = "/nonexistent-directory/requests.log";
  EXPECT_EQ(QuoteServer(badLog).Bind().port, -1);
  RunningServer first;
  ServerOptions taken;
  taken.port = first.Port();
  const BindResult result = QuoteServer(taken).Bind();
  EXPECT_EQ(result.port, -1);
  EXPECT_NE(result.error.find(std::to_string(first.Port())), std::string::npos);
}

TEST(QuoteServer, StopBeforeServeReturnsAtOnce) {
  ServerOptions options;
  options.port = 0;
  QuoteServer server(options);
  ASSERT_GT(server.Bind().port, 0);
  server.Stop();
  auto serving = std::async(std::launch::async, [&server] { server.Serve(); });
  EXPECT_EQ(serving.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

}  // namespace
}  // namespace pelmo::quote_server
