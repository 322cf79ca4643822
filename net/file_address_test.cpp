#include "net/file_address.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "net/http_fetcher.h"

namespace pelmo {
namespace {

TEST(FileAddressTest, PathForms) {
  EXPECT_EQ(FileAddressPath("file:///tmp/a.html"), "/tmp/a.html");
  EXPECT_EQ(FileAddressPath("file://localhost/tmp/a.html"), "/tmp/a.html");
  EXPECT_EQ(FileAddressPath("FILE://LocalHost/tmp/a.html"), "/tmp/a.html");
  EXPECT_EQ(FileAddressPath("file:/tmp/a.html"), "/tmp/a.html");
  EXPECT_EQ(FileAddressPath("file:pages/a.html"), "pages/a.html");
  EXPECT_EQ(FileAddressPath("file:///tmp/a%20b%2Fc%zz%4"), "/tmp/a b/c%zz%4");
}

TEST(FileAddressTest, NotALocalFile) {
  EXPECT_EQ(FileAddressPath("file://elsewhere/tmp/a.html"), std::nullopt);
  EXPECT_EQ(FileAddressPath("file://localhost"), std::nullopt);
  EXPECT_EQ(FileAddressPath("file:"), std::nullopt);
  EXPECT_EQ(FileAddressPath("fil:/tmp"), std::nullopt);
  EXPECT_EQ(FileAddressPath("http://localhost/tmp"), std::nullopt);
  EXPECT_EQ(FileAddressPath("/tmp/a.html"), std::nullopt);
}

class LocalFileFetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("TMPDIR");
    path_ = std::string(dir != nullptr ? dir : "/tmp") + "/pelmo_net_XXXXXX";
    const int fd = mkstemp(path_.data());
    ASSERT_GE(fd, 0);
    close(fd);
  }
  void TearDown() override { std::remove(path_.c_str()); }

  void Write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }

  std::string path_;
};

TEST_F(LocalFileFetchTest, FileIsReadAsItStands) {
  Write("a\nb\r\n\xA4\xA2");
  HttpFetcher fetcher;
  ASSERT_NE(fetcher.Fetch("file://" + path_), nullptr);
  EXPECT_EQ(*fetcher.pageText, "a\nb\r\n\xA4\xA2");
  EXPECT_FALSE(fetcher.rawText.has_value());
  EXPECT_EQ(fetcher.LastResult().reason, Reason::Ok);
}

TEST_F(LocalFileFetchTest, ZeroByteEndsTheText) {
  Write(std::string("ab\0cd", 5));
  HttpFetcher fetcher;
  ASSERT_NE(fetcher.Fetch("file:" + path_), nullptr);
  EXPECT_EQ(*fetcher.pageText, "ab");
}

TEST_F(LocalFileFetchTest, FileOverTheLimitGivesNull) {
  Write("12345");
  HttpFetchOptions options;
  options.maxTextBytes = 4;
  HttpFetcher fetcher(options);
  EXPECT_EQ(fetcher.Fetch("file:" + path_), nullptr);
  EXPECT_EQ(fetcher.LastResult().reason, Reason::TooLarge);
  EXPECT_EQ(fetcher.LastResult().message, "file too large");
  options.maxTextBytes = 5;
  HttpFetcher roomy(options);
  EXPECT_NE(roomy.Fetch("file:" + path_), nullptr);
}

TEST_F(LocalFileFetchTest, MissingFileOrDirectoryGivesNull) {
  HttpFetcher fetcher;
  EXPECT_EQ(fetcher.Fetch("file:" + path_ + ".absent"), nullptr);
  EXPECT_EQ(fetcher.LastResult().reason, Reason::FileUnreadable);
  EXPECT_EQ(fetcher.LastResult().message, "cannot open file: No such file or directory");
  EXPECT_EQ(fetcher.LastResult().code, ENOENT);
  EXPECT_EQ(fetcher.Fetch("file:///"), nullptr);
  EXPECT_EQ(fetcher.LastResult().reason, Reason::FileUnreadable);
}

TEST_F(LocalFileFetchTest, OtherSchemesGiveNull) {
  Write("text");
  HttpFetcher fetcher;
  for (const std::string address :
       {"ftp://127.0.0.1/x", "HTTPS://127.0.0.1/x", "Http://127.0.0.1/x", "", "http"}) {
    EXPECT_EQ(fetcher.Fetch(address), nullptr) << address;
    EXPECT_EQ(fetcher.LastResult().reason, Reason::UnsupportedAddress) << address;
    EXPECT_FALSE(fetcher.pageText.has_value());
  }
}

}  // namespace
}  // namespace pelmo
