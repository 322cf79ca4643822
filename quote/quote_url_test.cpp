#include "quote/quote_url.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>

namespace pelmo {
namespace {

DownloadJob Job(std::string host, bool margin) {
  DownloadJob job;
  job.host = std::move(host);
  job.code = "1234.t";
  job.period = Period::Daily;
  job.margin = margin;
  return job;
}

const SerialDate kStart = FromCalendar(2007, 1, 5);
const SerialDate kEnd = FromCalendar(2007, 3, 31);

TEST(QuoteUrlTest, PriceAndMarginTemplates) {
  EXPECT_EQ(BuildQuoteUrl(Job("127.0.0.1:8730", false), kStart, kEnd),
            "http://127.0.0.1:8730/t?c=2007&a=1&b=5&f=2007&d=3&e=31&g=d&s=1234.t&y=0&z=1234.t");
  EXPECT_EQ(BuildQuoteUrl(Job("127.0.0.1:8730", true), kStart, kEnd),
            "http://127.0.0.1:8730/bt?s=1234.t&a=1&b=5&c=2007&d=3&e=31&f=2007");
}

// A code is one query value: whatever bytes it holds, it can neither end its value nor
// add a key.
TEST(QuoteUrlTest, PeriodLetterAndEscapedCode) {
  DownloadJob job = Job("h", false);
  job.period = Period::Monthly;
  job.code = "a&b c";
  EXPECT_EQ(BuildQuoteUrl(job, kStart, kEnd),
            "http://h/t?c=2007&a=1&b=5&f=2007&d=3&e=31&g=m&s=a%26b%20c&y=0&z=a%26b%20c");
  job.margin = true;
  job.code = "72#3.t";
  EXPECT_EQ(BuildQuoteUrl(job, kStart, kEnd),
            "http://h/bt?s=72%233.t&a=1&b=5&c=2007&d=3&e=31&f=2007");
}

TEST(QuoteUrlTest, QueryValueEscapesAllButUnreservedBytes) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) {
    all += static_cast<char>(byte);
  }
  std::string url;
  AppendQueryValue(url, all);
  std::string expected;
  for (int byte = 0; byte < 256; ++byte) {
    if (std::isalnum(byte) || byte == '-' || byte == '.' || byte == '_' || byte == '~') {
      expected += static_cast<char>(byte);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      expected += escaped;
    }
  }
  EXPECT_EQ(url, expected);
  url = "s=";
  AppendQueryValue(url, "");
  EXPECT_EQ(url, "s=");
}

TEST(QuoteUrlTest, DatesThatAreNotValidGoAsMinusOne) {
  EXPECT_EQ(BuildQuoteUrl(Job("h", false), SerialDate::Null(), kEnd),
            "http://h/t?c=-1&a=-1&b=-1&f=2007&d=3&e=31&g=d&s=1234.t&y=0&z=1234.t");
  EXPECT_EQ(BuildQuoteUrl(Job("h", true), kStart, SerialDate::Invalid()),
            "http://h/bt?s=1234.t&a=1&b=5&c=2007&d=-1&e=-1&f=-1");
}

TEST(QuoteUrlTest, HostForms) {
  EXPECT_EQ(ServiceBase("127.0.0.1:8730"), "http://127.0.0.1:8730");
  EXPECT_EQ(ServiceBase("https://example.test/quotes"), "https://example.test/quotes");
  EXPECT_EQ(ServiceBase("example.test/quotes/"), "http://example.test/quotes");
  EXPECT_EQ(ServiceBase("HTTP://example.test//"), "HTTP://example.test");
  EXPECT_EQ(ServiceBase("http://"), "http://");
  EXPECT_EQ(BuildQuoteUrl(Job("https://example.test/quotes/", true), kStart, kEnd),
            "https://example.test/quotes/bt?s=1234.t&a=1&b=5&c=2007&d=3&e=31&f=2007");
}

}  // namespace
}  // namespace pelmo
