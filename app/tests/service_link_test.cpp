// Runs over the link to the quote service: kept connections that the service closes, a
// service that does not answer or answers only some windows, and https.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/download/download_driver.h"
#include "app/tests/page_server_test_util.h"
#include "app/tests/test_process.h"
#include "net/http_global_init.h"
#include "net/raw_test_server.h"
#include "quote/http_page_source.h"
#include "quote/page_tree.h"
#include "tools/quote_server/test_certificate.h"

namespace pelmo {
namespace {

namespace fs = std::filesystem;
using net_test::RawTestServer;
using After = RawTestServer::After;
using testing::ReadFileBytes;
using testing::ServiceDay;
using testing::ServiceRows;

// Six windows, newest first, of the range these runs ask for.
constexpr const char* kStart = "2006/06/05";
constexpr const char* kEnd = "2007/03/31";
const char* const kWindows[] = {"2007/02/09-2007/03/31", "2006/12/20-2007/02/08",
                                "2006/10/30-2006/12/19", "2006/09/09-2006/10/29",
                                "2006/07/20-2006/09/08", "2006/06/05-2006/07/19"};

std::string AllRows() {
  return ServiceRows("8306.t", ServiceDay(2006, 6, 5), ServiceDay(2007, 3, 31));
}

class ServiceLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("pelmo-link-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
            std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    setenv("no_proxy", "127.0.0.1", 1);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Downloads code 8306 from kStart to kEnd in this process, with `options`, into a fresh
  // output file. Returns the exit code; the messages are left in messages_.
  int Download(const std::string& host, const HttpFetchOptions& options) {
    const HttpGlobalInit http;
    DownloadJob job = NewJob(Now());
    const std::string path = (dir_ / "8306.csv").string();
    fs::remove(path);
    const std::vector<std::string_view> args = {"--host", host, "-s", kStart, "-e",
                                                kEnd,     "-o", path, "8306"};
    EXPECT_EQ(ParseCommandLine(args, job).action, CommandLineAction::Run);
    OutputTarget target;
    EXPECT_TRUE(OutputTarget::Open(job.outputPath, target).ok());
    HttpPageSource pages(options);
    std::FILE* sink = std::tmpfile();
    const int exitCode = RunDownload(job, pages, ParseQuotePageTree, sink, target);
    std::rewind(sink);
    char buffer[8192];
    messages_.assign(buffer, std::fread(buffer, 1, sizeof buffer, sink));
    std::fclose(sink);
    return exitCode;
  }

  std::string File() const { return ReadFileBytes(dir_ / "8306.csv"); }

  fs::path dir_;
  std::string messages_;
};

// Serves the sample service's pages on kept connections. Each connection is closed
// silently after `perConnection` answers; the requests numbered in `cut` (over the whole
// run, from 0) get half a page and a close.
RawTestServer::Handler KeptConnections(int perConnection, std::set<int> cut = {}) {
  auto served = std::make_shared<int>(0);
  return [=](int fd, int) {
    for (int i = 0; i < perConnection; ++i) {
      const std::string target = testing::RequestTarget(net_test::ReadRequestHead(fd));
      if (target.empty()) {
        break;
      }
      const std::string page = testing::ServicePage(target);
      if (cut.count((*served)++) != 0) {
        net_test::SendAll(fd, net_test::KeptResponse(page).substr(0, 100 + page.size() / 2));
        break;
      }
      net_test::SendAll(fd, net_test::KeptResponse(page));
    }
    return After::Close;
  };
}

TEST_F(ServiceLinkTest, ServiceClosingKeptConnectionsBetweenPagesLosesNothing) {
  RawTestServer server(KeptConnections(2));
  EXPECT_EQ(Download("127.0.0.1:" + std::to_string(server.port()), net_test::QuickRetries()), 0);
  EXPECT_EQ(messages_, "");
  EXPECT_EQ(File(), AllRows());
  EXPECT_EQ(server.connections(), 3);
}

TEST_F(ServiceLinkTest, ServiceClosingKeptConnectionsMidResponseLosesNothing) {
  RawTestServer server(KeptConnections(100, {1, 4, 5}));
  EXPECT_EQ(Download("127.0.0.1:" + std::to_string(server.port()), net_test::QuickRetries()), 0);
  EXPECT_EQ(messages_, "");
  EXPECT_EQ(File(), AllRows());
  EXPECT_EQ(server.connections(), 4);
}

// Every attempt times out: one window's attempts and two single ones, then the rest are not
// asked for.
TEST_F(ServiceLinkTest, SilentListenerIsGivenUpAfterThreeWindows) {
  RawTestServer server([](int, int) { return After::KeepOpen; });
  HttpFetchOptions options = net_test::QuickRetries();
  options.stallTimeout = std::chrono::seconds(1);
  options.maxAttempts = 2;
  EXPECT_EQ(Download("127.0.0.1:" + std::to_string(server.port()), options),
            kExitServiceUnavailable);
  EXPECT_EQ(messages_, std::string("pelmo: cannot fetch ") + kWindows[0] +
                           ": timed out\npelmo: cannot fetch " + kWindows[1] +
                           ": timed out\npelmo: cannot fetch " + kWindows[2] +
                           ": timed out\npelmo: cannot fetch 2006/06/05-2006/10/29: not "
                           "requested, the quote service did not answer\n");
  EXPECT_EQ(server.connections(), 4);
  EXPECT_EQ(File(), "");
}

TEST_F(ServiceLinkTest, RefusedPortIsGivenUpAfterThreeWindows) {
  int port = 0;
  {
    RawTestServer closed([](int, int) { return After::Close; });
    port = closed.port();
  }
  EXPECT_EQ(Download("127.0.0.1:" + std::to_string(port), net_test::QuickRetries()),
            kExitServiceUnavailable);
  EXPECT_EQ(messages_, std::string("pelmo: cannot fetch ") + kWindows[0] +
                           ": connection refused\npelmo: cannot fetch " + kWindows[1] +
                           ": connection refused\npelmo: cannot fetch " + kWindows[2] +
                           ": connection refused\npelmo: cannot fetch 2006/06/05-2006/10/29: not "
                           "requested, the quote service did not answer\n");
}

// Windows 2 and 3 are dropped unanswered on every attempt; the others come through.
TEST_F(ServiceLinkTest, ServiceFailingSomeWindowsInTheMiddleIsNotGivenUp) {
  const auto middle = [](const std::string& target) {
    return target.starts_with("/t?c=2006&a=12&b=20&") || target.starts_with("/t?c=2006&a=10&");
  };
  RawTestServer server([&middle](int fd, int) {
    const std::string target = testing::RequestTarget(net_test::ReadRequestHead(fd));
    if (!middle(target)) {
      net_test::SendAll(fd, net_test::KeptResponse(testing::ServicePage(target)));
    }
    return After::Close;
  });
  EXPECT_EQ(Download("127.0.0.1:" + std::to_string(server.port()), net_test::QuickRetries()),
            kExitServiceUnavailable);
  EXPECT_EQ(messages_, std::string("pelmo: cannot fetch ") + kWindows[1] +
                           ": connection closed without a response\npelmo: cannot fetch " +
                           kWindows[2] + ": connection closed without a response\n");
  // Window 2 with all its attempts, window 3 with one, and the four others once each.
  EXPECT_EQ(server.connections(), 12 + 1 + 4);
  EXPECT_EQ(File(), ServiceRows("8306.t", ServiceDay(2006, 6, 5), ServiceDay(2006, 10, 29)) +
                        ServiceRows("8306.t", ServiceDay(2007, 2, 9), ServiceDay(2007, 3, 31)));
}

// The real binaries: kept connections change nothing a script or the service sees.
TEST_F(ServiceLinkTest, KeptConnectionsMakeTheSameRequestsAsOnePerConnection) {
  struct Run {
    testing::ProcessResult result;
    std::string log, file;
  };
  const auto run = [this](std::vector<std::string> serverArgs) {
    const fs::path log = dir_ / "requests.log";
    serverArgs.insert(serverArgs.end(), {"--log", log.string()});
    Run done;
    {
      testing::QuoteServerProcess server(serverArgs);
      done.result =
          testing::RunProcess({testing::PelmoBinary().string(), "--host", server.hostArgument(),
                               "-a", "-s", "1990/01/01", "-e", kEnd, "-o", "out.csv", "7203"},
                              dir_);
    }
    done.log = ReadFileBytes(log);
    done.file = ReadFileBytes(dir_ / "out.csv");
    fs::remove(dir_ / "out.csv");
    fs::remove(dir_ / "out.bak");
    return done;
  };
  const Run kept = run({});
  const Run closed = run({"--close"});
  EXPECT_EQ(kept.result.exitCode, 0);
  EXPECT_EQ(std::count(kept.log.begin(), kept.log.end(), '\n'), 124);
  EXPECT_EQ(kept.log, closed.log);
  EXPECT_EQ(kept.file, closed.file);
  EXPECT_EQ(kept.result.err, closed.result.err);
  EXPECT_EQ(kept.result.exitCode, closed.result.exitCode);
}

class HttpsLinkTest : public ServiceLinkTest {
 protected:
  void SetUp() override {
    ServiceLinkTest::SetUp();
    certificate_ = quote_server::testing::MakeTestCertificate(dir_, "service");
    ASSERT_TRUE(certificate_.made) << "the openssl command could not make a certificate";
  }
  quote_server::testing::TestCertificate certificate_;
};

TEST_F(HttpsLinkTest, TrustedCertificateGivesTheSameFile) {
  testing::QuoteServerProcess server(
      {"--cert", certificate_.certPath, "--key", certificate_.keyPath});
  HttpFetchOptions options = net_test::QuickRetries();
  options.caFileForTests = certificate_.certPath;
  EXPECT_EQ(Download("https://" + server.hostArgument(), options), 0);
  EXPECT_EQ(messages_, "");
  EXPECT_EQ(File(), AllRows());
}

// The system's trust store knows nothing of the test certificate: no page is taken.
TEST_F(HttpsLinkTest, UntrustedCertificateIsRefused) {
  testing::QuoteServerProcess server(
      {"--cert", certificate_.certPath, "--key", certificate_.keyPath});
  EXPECT_EQ(Download("https://" + server.hostArgument(), net_test::QuickRetries()),
            kExitServiceUnavailable);
  const std::string untrusted = ": server certificate not trusted\npelmo: cannot fetch ";
  EXPECT_EQ(messages_, std::string("pelmo: cannot fetch ") + kWindows[0] + untrusted + kWindows[1] +
                           untrusted + kWindows[2] + untrusted +
                           "2006/06/05-2006/10/29: not requested, the quote service did not "
                           "answer\n");
  EXPECT_EQ(File(), "");
}

}  // namespace
}  // namespace pelmo
