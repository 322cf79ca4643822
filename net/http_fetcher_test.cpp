// HttpFetcher against a real HTTP server on 127.0.0.1.
#include "net/http_fetcher.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace pelmo {
namespace {

constexpr std::size_t kDefaultCap = std::size_t{4} << 20;

class PageServer {
 public:
  PageServer() {
    server_.Get("/text", [](const httplib::Request& request, httplib::Response& response) {
      response.set_content(request.get_param_value("body"), "text/html");
    });
    server_.Get("/zero", [](const httplib::Request&, httplib::Response& response) {
      response.set_content(std::string("ab\nc\0d\ne", 8), "text/html");
    });
    server_.Get("/missing", [](const httplib::Request&, httplib::Response& response) {
      response.status = 404;
      response.set_content("no such page\n", "text/html");
    });
    server_.Get(R"(/hop/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
      const int left = std::stoi(request.matches[1]);
      if (left == 0) {
        response.set_content("arrived", "text/html");
      } else {
        response.set_redirect("/hop/" + std::to_string(left - 1));
      }
    });
    server_.Get("/to-missing", [](const httplib::Request&, httplib::Response& response) {
      response.set_redirect("/missing");
    });
    server_.Get("/agent", [](const httplib::Request& request, httplib::Response& response) {
      response.set_content(request.get_header_value("User-Agent"), "text/plain");
    });
    // /big?size=N: N bytes of 'x', sent in blocks.
    server_.Get("/big", [](const httplib::Request& request, httplib::Response& response) {
      response.set_content_provider(
          std::stoul(request.get_param_value("size")), "text/html",
          [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            const std::string block(std::min<std::size_t>(length, 1 << 16), 'x');
            (void)offset;
            return sink.write(block.data(), block.size());
          });
    });
    // Counted before the answer goes out, so a finished Fetch has always been counted.
    server_.set_pre_routing_handler([this](const httplib::Request&, httplib::Response&) {
      ++requests_;
      return httplib::Server::HandlerResponse::Unhandled;
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }

  ~PageServer() {
    // stop() is ignored until the accept loop runs.
    while (!server_.is_running()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    server_.stop();
    thread_.join();
  }

  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  int requests() const { return requests_; }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::atomic<int> requests_{0};
  std::thread thread_;
};

std::string TextUrl(const PageServer& server, const std::string& body) {
  return server.Url("/text?body=" + httplib::detail::encode_query_param(body));
}

TEST(HttpFetcherTest, PageWithLineFeedsIsExpanded) {
  PageServer server;
  HttpFetcher fetcher;
  const std::string* text = fetcher.Fetch(TextUrl(server, "a\nb"));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text, &*fetcher.pageText);
  EXPECT_EQ(*fetcher.pageText, "a\r\nb");
  EXPECT_EQ(*fetcher.rawText, "a\r\nb");
  EXPECT_EQ(fetcher.LastResult().reason, Reason::Ok);
  EXPECT_EQ(fetcher.HttpStatus(), 200);
  EXPECT_EQ(fetcher.Attempts(), 1);
  EXPECT_EQ(fetcher.LastResult().code, 200);
}

TEST(HttpFetcherTest, CrLfBecomesCrCrLf) {
  PageServer server;
  HttpFetcher fetcher;
  ASSERT_NE(fetcher.Fetch(TextUrl(server, "a\r\nb")), nullptr);
  EXPECT_EQ(*fetcher.pageText, "a\r\r\nb");
}

TEST(HttpFetcherTest, BodyIsConvertedFromEucJp) {
  PageServer server;
  HttpFetcher fetcher;
  ASSERT_NE(fetcher.Fetch(TextUrl(server, "\xC6\xFC\n\x8E\xB1")), nullptr);
  EXPECT_EQ(*fetcher.rawText, "\xC6\xFC\r\n\x8E\xB1");
  EXPECT_EQ(*fetcher.pageText, "\x93\xFA\r\n\xB1");
}

TEST(HttpFetcherTest, InvalidEucJpCutsOnlyThePageText) {
  PageServer server;
  HttpFetcher fetcher;
  ASSERT_NE(fetcher.Fetch(TextUrl(server,
                                  "ab\x85"
                                  "cd")),
            nullptr);
  EXPECT_EQ(*fetcher.rawText,
            "ab\x85"
            "cd");
  EXPECT_EQ(*fetcher.pageText, "ab");
  EXPECT_EQ(fetcher.LastResult().reason, Reason::Ok);
}

TEST(HttpFetcherTest, ZeroByteEndsTheText) {
  PageServer server;
  HttpFetcher fetcher;
  ASSERT_NE(fetcher.Fetch(server.Url("/zero")), nullptr);
  EXPECT_EQ(*fetcher.rawText, "ab\r\nc");
  EXPECT_EQ(*fetcher.pageText, "ab\r\nc");
}

TEST(HttpFetcherTest, EmptyPageIsAPage) {
  PageServer server;
  HttpFetcher fetcher;
  ASSERT_NE(fetcher.Fetch(TextUrl(server, "")), nullptr);
  EXPECT_EQ(*fetcher.pageText, "");
  EXPECT_EQ(fetcher.LastResult().reason, Reason::Ok);
}

TEST(HttpFetcherTest, StatusOtherThan200GivesEmptyTexts) {
  PageServer server;
  HttpFetcher fetcher;
  const std::string* text = fetcher.Fetch(server.Url("/missing"));
  ASSERT_NE(text, nullptr);
  ASSERT_TRUE(fetcher.rawText.has_value());
  EXPECT_EQ(*fetcher.pageText, "");
  EXPECT_EQ(*fetcher.rawText, "");
  EXPECT_EQ(fetcher.LastResult().reason, Reason::StatusNotOk);
  EXPECT_EQ(fetcher.HttpStatus(), 404);
  EXPECT_EQ(fetcher.LastResult().code, 404);
  EXPECT_EQ(fetcher.Attempts(), 1);
}

TEST(HttpFetcherTest, RedirectsAreFollowedUpToTen) {
  PageServer server;
  HttpFetcher fetcher;
  ASSERT_NE(fetcher.Fetch(server.Url("/hop/10")), nullptr);
  EXPECT_EQ(*fetcher.pageText, "arrived");
  EXPECT_EQ(server.requests(), 11);
}

TEST(HttpFetcherTest, EleventhRedirectFailsEveryAttempt) {
  PageServer server;
  HttpFetchOptions options;
  options.firstRetryDelay = options.maxRetryDelay = std::chrono::milliseconds(1);
  HttpFetcher fetcher(options);
  EXPECT_EQ(fetcher.Fetch(server.Url("/hop/11")), nullptr);
  EXPECT_FALSE(fetcher.pageText.has_value());
  EXPECT_FALSE(fetcher.rawText.has_value());
  EXPECT_EQ(fetcher.LastResult().reason, Reason::RequestFailed);
  EXPECT_EQ(fetcher.LastResult().message, "too many redirects");
  EXPECT_EQ(fetcher.Attempts(), 12);
  EXPECT_EQ(server.requests(), 12 * 11);
}

TEST(HttpFetcherTest, StatusIsTheFinalResponses) {
  PageServer server;
  HttpFetcher fetcher;
  ASSERT_NE(fetcher.Fetch(server.Url("/to-missing")), nullptr);
  EXPECT_EQ(*fetcher.pageText, "");
  EXPECT_EQ(fetcher.HttpStatus(), 404);
}

TEST(HttpFetcherTest, UserAgentIsTheExecutableName) {
  PageServer server;
  HttpFetcher fetcher;
  ASSERT_NE(fetcher.Fetch(server.Url("/agent")), nullptr);
  EXPECT_EQ(*fetcher.pageText, "pelmo_net_tests");

  HttpFetchOptions options;
  options.userAgent = "pelmo";
  HttpFetcher named(options);
  ASSERT_NE(named.Fetch(server.Url("/agent")), nullptr);
  EXPECT_EQ(*named.pageText, "pelmo");
}

TEST(HttpFetcherTest, HeldPageRefusesAnotherFetch) {
  PageServer server;
  HttpFetcher fetcher;
  ASSERT_NE(fetcher.Fetch(TextUrl(server, "first")), nullptr);
  fetcher.pageText->resize(3);  // edited in place, as the page preparation does
  EXPECT_EQ(fetcher.Fetch(TextUrl(server, "second")), nullptr);
  EXPECT_EQ(*fetcher.pageText, "fir");
  EXPECT_EQ(*fetcher.rawText, "first");
  EXPECT_EQ(fetcher.LastResult().reason, Reason::TextHeld);
  EXPECT_EQ(server.requests(), 1);

  fetcher.Clear();
  EXPECT_FALSE(fetcher.pageText.has_value());
  EXPECT_FALSE(fetcher.rawText.has_value());
  ASSERT_NE(fetcher.Fetch(TextUrl(server, "second")), nullptr);
  EXPECT_EQ(*fetcher.pageText, "second");
}

TEST(HttpFetcherTest, ClearOnEmptyFetcherDoesNothing) {
  HttpFetcher fetcher;
  fetcher.Clear();
  fetcher.Clear();
  EXPECT_FALSE(fetcher.pageText.has_value());
  EXPECT_FALSE(fetcher.rawText.has_value());
  EXPECT_EQ(fetcher.LastResult().reason, Reason::Ok);
}

TEST(HttpFetcherTest, PageOverTheLimitIsDropped) {
  PageServer server;
  HttpFetchOptions options;
  options.maxTextBytes = 10;
  HttpFetcher fetcher(options);
  ASSERT_NE(fetcher.Fetch(TextUrl(server, "12345678\n")), nullptr);  // 10 after expansion
  fetcher.Clear();
  EXPECT_EQ(fetcher.Fetch(TextUrl(server, "123456789\n")), nullptr);
  EXPECT_FALSE(fetcher.rawText.has_value());
  EXPECT_EQ(fetcher.LastResult().reason, Reason::TooLarge);
  EXPECT_EQ(fetcher.LastResult().message, "page too large");
  EXPECT_EQ(fetcher.Attempts(), 1);
}

TEST(HttpFetcherTest, DefaultLimitIs4MiB) {
  PageServer server;
  HttpFetcher fetcher;
  const std::string* text = fetcher.Fetch(server.Url("/big?size=" + std::to_string(kDefaultCap)));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->size(), kDefaultCap);
  fetcher.Clear();
  EXPECT_EQ(fetcher.Fetch(server.Url("/big?size=" + std::to_string(kDefaultCap + 1))), nullptr);
  EXPECT_EQ(fetcher.LastResult().reason, Reason::TooLarge);
  EXPECT_EQ(fetcher.LastResult().message, "page too large");
}

#if defined(__SANITIZE_ADDRESS__)
#define PELMO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELMO_ADDRESS_SANITIZER 1
#endif
#endif

#ifndef PELMO_ADDRESS_SANITIZER
// The process's address space in bytes, from /proc/self/statm.
std::size_t AddressSpaceBytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t pages = 0;
  statm >> pages;
  return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// Reads an address from `in`, then fetches it with an address space that has room for
// libcurl's buffers but not for a 3 MiB text. Exits 0 when the page was refused as too
// large, 1 when it was fetched all the same, and 10 plus the outcome for any other result.
[[noreturn]] void FetchUnderMemoryLimit(int in) {
  alarm(60);  // a child stuck in the fetch must not hold the test forever
  char url[256] = {};
  if (read(in, url, sizeof url - 1) <= 0) {
    _exit(2);
  }
  const rlimit limit{AddressSpaceBytes() + (1 << 20), RLIM_INFINITY};
  HttpFetcher fetcher;
  if (setrlimit(RLIMIT_AS, &limit) != 0) {
    _exit(3);
  }
  if (fetcher.Fetch(url) != nullptr) {
    _exit(1);
  }
  const bool tooLarge = fetcher.LastResult().reason == Reason::TooLarge &&
                        fetcher.LastResult().message == "page too large";
  _exit(tooLarge ? 0 : 10 + static_cast<int>(fetcher.LastResult().reason));
}

#endif

// A page within the cap that the process has no memory for is refused like an oversized
// one, instead of ending the process.
TEST(HttpFetcherTest, PageWithoutMemoryForItIsTooLarge) {
#ifdef PELMO_ADDRESS_SANITIZER
  GTEST_SKIP() << "the address sanitizer's allocator ignores address-space limits";
#else
  // The child is forked before the server starts its threads: after a fork, the memory
  // arenas of the parent's threads are free for the child's allocations, inside address
  // space already counted, and the limit would not bind.
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(pipeFds[1]);
    FetchUnderMemoryLimit(pipeFds[0]);
  }
  close(pipeFds[0]);
  PageServer server;
  const std::string url = server.Url("/big?size=" + std::to_string(3 << 20));
  ASSERT_EQ(write(pipeFds[1], url.data(), url.size()), static_cast<ssize_t>(url.size()));
  close(pipeFds[1]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}

TEST(HttpFetcherTest, CapitalSchemeIsNotFetched) {
  PageServer server;
  HttpFetcher fetcher;
  std::string url = server.Url("/agent");
  url.replace(0, 4, "HTTP");
  EXPECT_EQ(fetcher.Fetch(url), nullptr);
  EXPECT_EQ(fetcher.LastResult().reason, Reason::UnsupportedAddress);
  EXPECT_EQ(server.requests(), 0);
}

}  // namespace
}  // namespace pelmo
