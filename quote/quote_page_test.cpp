#include "quote/quote_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quote/test_markup_util.h"

namespace pelmo {
namespace {

const std::string kDate =
    "2007\x94\x4E"
    "1\x8C\x8E"
    "5\x93\xFA";

class CannedSource : public PageSource {
 public:
  explicit CannedSource(PageResult result) : result_(std::move(result)) {}
  PageResult Get(const std::string& url) override {
    urls.push_back(url);
    return result_;
  }
  std::vector<std::string> urls;

 private:
  PageResult result_;
};

// Parses with the test markup builder and keeps what it was given.
struct RecordingParser {
  std::vector<std::string> texts;
  TreeParser Parser() {
    return [this](std::string_view text, const std::function<void(const HtmlNode&)>& visit) {
      texts.emplace_back(text);
      test::TestTree tree = test::TestTree::FromMarkup(text);
      visit(*tree.Root());
    };
  }
};

const std::string kPage =
    "<html><body><table>menu</table><!--/tab--><table><tr><td>nav</td></tr></table>"
    "<table width=100%><tr><th>Date</th><th>Close</th></tr>"
    "<tr><td>" +
    kDate +
    "</td><td><small>1,234</small></td><td><SMALL>1240</SMALL></td></tr>"
    "</table><table><tr><td>footer</td></tr></table></body></html>";

DownloadJob Job() {
  DownloadJob job;
  job.code = "1234.t";
  job.host = "127.0.0.1:8730";
  return job;
}

TEST(FetchQuotePageTest, ReadsPreparedTable) {
  DownloadJob job = Job();
  CannedSource source({kPage, {}});
  RecordingParser parser;
  const Result outcome = FetchQuotePage(job, FromCalendar(2007, 1, 5), FromCalendar(2007, 3, 31),
                                        source, parser.Parser());
  EXPECT_TRUE(outcome.ok());
  ASSERT_EQ(source.urls.size(), 1u);
  EXPECT_EQ(source.urls[0],
            "http://127.0.0.1:8730/t?c=2007&a=1&b=5&f=2007&d=3&e=31&g=d&s=1234.t&y=0&z=1234.t");
  ASSERT_EQ(parser.texts.size(), 1u);
  EXPECT_EQ(parser.texts[0], "<table width=100%><tr><th>Date</th><th>Close</th></tr><tr><td>" +
                                 kDate + "</td><td>1,234</td><td>1240</td></tr></table>");
  ASSERT_EQ(job.records.size(), 1u);
  EXPECT_TRUE(Equals(job.records.Records()[0].date, FromCalendar(2007, 1, 5)));
  EXPECT_EQ(job.records.Records()[0].values[0], 1234.0f);
  EXPECT_EQ(job.records.Records()[0].values[1], 1240.0f);
  EXPECT_EQ(job.columnCount, 2);
}

TEST(FetchQuotePageTest, SameWindowTwiceKeepsOneRecordPerDate) {
  DownloadJob job = Job();
  CannedSource source({kPage, {}});
  RecordingParser parser;
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(
        FetchQuotePage(job, SerialDate::Null(), SerialDate::Null(), source, parser.Parser()).ok());
  }
  EXPECT_EQ(job.records.size(), 1u);
  EXPECT_EQ(source.urls[1],
            "http://127.0.0.1:8730/t?c=-1&a=-1&b=-1&f=-1&d=-1&e=-1&g=d&s=1234.t&y=0&z=1234.t");
}

TEST(FetchQuotePageTest, FailuresAreReportedAndAddNothing) {
  const std::vector<PageResult> cases = {
      {"", Failure(Reason::NoAnswer, "connection refused")},
      {"", Failure(Reason::BodyCutShort, "timed out", 200)},
      {"", Failure(Reason::StatusNotOk, "", 404)},
      // A failed request's body is never read, even when it holds a table.
      {kPage, Failure(Reason::StatusNotOk, "", 500)},
  };
  for (const PageResult& c : cases) {
    DownloadJob job = Job();
    CannedSource source(c);
    RecordingParser parser;
    const Result outcome = FetchQuotePage(job, FromCalendar(2007, 1, 5), FromCalendar(2007, 3, 31),
                                          source, parser.Parser());
    const std::string label = c.result.message + std::to_string(c.result.code);
    EXPECT_EQ(outcome.reason, c.result.reason) << label;
    EXPECT_EQ(outcome.code, c.result.code) << label;
    EXPECT_EQ(outcome.message, c.result.message) << label;
    EXPECT_TRUE(parser.texts.empty()) << label;
    EXPECT_TRUE(job.records.empty()) << label;
  }
}

TEST(FetchQuotePageTest, PagesWithoutTableAddNothing) {
  for (const std::string page : {"<html>no tables</html>", "<!--/tab--><table>1</table>"}) {
    DownloadJob job = Job();
    CannedSource source({page, {}});
    RecordingParser parser;
    const Result outcome = FetchQuotePage(job, FromCalendar(2007, 1, 5), FromCalendar(2007, 3, 31),
                                          source, parser.Parser());
    EXPECT_TRUE(outcome.ok());
    EXPECT_TRUE(job.records.empty());
    EXPECT_EQ(job.columnCount, 0);
  }
}

TEST(FetchQuotePageTest, WalkThatFindsNoNodeAddsNothing) {
  DownloadJob job = Job();
  CannedSource source({kPage, {}});
  // A tree whose root has no children.
  const TreeParser bare = [](std::string_view, const std::function<void(const HtmlNode&)>& visit) {
    HtmlNode root;
    visit(root);
  };
  EXPECT_TRUE(
      FetchQuotePage(job, FromCalendar(2007, 1, 5), FromCalendar(2007, 3, 31), source, bare).ok());
  EXPECT_TRUE(job.records.empty());
}

}  // namespace
}  // namespace pelmo
