#include "app/download/download_driver.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/output/existing_file.h"
#include "app/tests/output_target_for_test.h"
#include "app/tests/test_support_for_test.h"
#include "quote/page_tree.h"

namespace pelmo {
namespace {

const std::string kSplit = "\x95\xAA\x8A\x84:";

std::string PageDate(int year, int month, int day) {
  return std::to_string(year) + "\x94\x4E" + std::to_string(month) + "\x8C\x8E" +
         std::to_string(day) + "\x93\xFA";
}

// A quote service in memory: each price page holds the rows of the days its address asks
// for, newest first, as the service's pages do.
class HistorySource : public PageSource {
 public:
  // Rows are keyed by YYYYMMDD; a day may hold several rows (a note beside a price row).
  void Add(int year, int month, int day, std::vector<std::string> cells) {
    std::string row = "<tr>";
    for (const std::string& cell : cells) {
      row += "<td>" + cell + "</td>";
    }
    rows_.emplace(year * 10000 + month * 100 + day, row + "</tr>");
  }

  PageResult Get(const std::string& url) override {
    const int first = Number(url, "c=") * 10000 + Number(url, "a=") * 100 + Number(url, "b=");
    const int last = Number(url, "f=") * 10000 + Number(url, "d=") * 100 + Number(url, "e=");
    std::string table = "<tr><th>Date</th><th>Open</th><th>High</th></tr>";
    for (auto row = rows_.rbegin(); row != rows_.rend(); ++row) {
      if (row->first >= first && row->first <= last) {
        table += row->second;
      }
    }
    return {"<html><body><!--/tab--><table><tr><td>menu</td></tr></table><table>" + table +
                "</table></body></html>",
            {}};
  }

 private:
  static int Number(const std::string& url, const std::string& key) {
    const std::size_t at = url.find(key, url.find('?'));
    return at == std::string::npos ? -1 : std::stoi(url.substr(at + key.size()));
  }

  std::multimap<int, std::string> rows_;
};

class DownloadDriverTest : public ::testing::Test {
 protected:
  DownloadDriverTest() {
    // A 1:1.5 split on 2004/01/26, its note twice on the page, and a row without a date.
    history_.Add(
        2003, 12, 1,
        {PageDate(2003, 12, 1), "1,338.66", "1,350", "1,320", "1,338.66", "133,500", "1,338.66"});
    history_.Add(2004, 1, 19,
                 {PageDate(2004, 1, 19), "1,002", "1,005", "990", "1,001", "16,777,217", "667.33"});
    history_.Add(2004, 1, 20,
                 {PageDate(2004, 1, 20), "1,500", "1,530", "1,485", "1,515", "100,000", "1,010"});
    history_.Add(2004, 1, 23, {"-", "1", "2", "3", "4", "5", "6"});
    history_.Add(2004, 1, 26, {PageDate(2004, 1, 26), kSplit + " 1 -> 1.5"});
    history_.Add(2004, 1, 26, {PageDate(2004, 1, 26), kSplit + " 1 -> 1.5"});
    history_.Add(
        2004, 1, 27,
        {PageDate(2004, 1, 27), "1,010", "1,020", "1,000", "1,015.5", "23,456,789", "999"});
  }

  // pelmo -a -s FROM -e 2004/01/30 into the one output file; returns that file.
  std::string Run(int fromMonth, int fromDay, bool adjust = true) {
    DownloadJob job;
    job.start = Day(fromMonth == 12 ? 2003 : 2004, fromMonth, fromDay);
    job.end = Day(2004, 1, 30);
    job.adjust = adjust;
    job.code = "7203.t";
    job.outputPath = folder_.Path("7203.csv");
    OutputTarget target;
    EXPECT_TRUE(OpenOutputForTest(job, target).ok());
    CapturedStreamForTest messages;
    EXPECT_EQ(RunDownload(job, history_, ParseQuotePageTree, messages.get(), target), 0);
    EXPECT_EQ(messages.Text(), "");
    return ReadFileForTest(job.outputPath);
  }

  static CalendarTime Day(int year, int month, int day) {
    CalendarTime time;
    time.year = static_cast<std::uint16_t>(year);
    time.month = static_cast<std::uint16_t>(month);
    time.day = static_cast<std::uint16_t>(day);
    return time;
  }

  HistorySource history_;
  ScratchFolderForTest folder_;
};

// The whole range at once: prices before the split divided by 1.5 and floored to a
// hundredth, volumes multiplied; the sixth value is the close before rescaling. Values
// outside the rescaling keep every digit.
const std::string kWholeRange =
    "2003/12/01,892.44,900,880,892.44,200250,1338.66\r\n"
    "2004/01/19,668,670,660,667.33,25165824,1001\r\n"
    "2004/01/20,1000,1020,990,1010,150000,1515\r\n"
    "2004/01/27,1010,1020,1000,1015.5,23456789,1015.5\r\n";

TEST_F(DownloadDriverTest, SplitIsAppliedOnceHoweverOftenTheRangeHoldsIt) {
  EXPECT_EQ(Run(12, 1), kWholeRange);
  // Later runs whose range holds the split: the stored rows before it are rescaled already,
  // because the file reaches past the split.
  EXPECT_EQ(Run(1, 20), kWholeRange);
  EXPECT_EQ(Run(1, 20), kWholeRange);
  EXPECT_EQ(Run(12, 1), kWholeRange);
}

TEST_F(DownloadDriverTest, FileThatEndsBeforeTheSplitIsRescaledWithTheRun) {
  const std::string unadjusted = Run(12, 1, false);
  EXPECT_EQ(unadjusted,
            "2003/12/01,1338.66,1350,1320,1338.66,133500,1338.66\r\n"
            "2004/01/19,1002,1005,990,1001,16777217,667.33\r\n"
            "2004/01/20,1500,1530,1485,1515,100000,1010\r\n"
            "2004/01/27,1010,1020,1000,1015.5,23456789,999\r\n");
  // Cut to the rows before 2004/01/20, as a run before the split would have left it.
  WriteFileForTest(folder_.Path("7203.csv"), unadjusted.substr(0, unadjusted.find("2004/01/20")));
  EXPECT_EQ(Run(1, 20), kWholeRange);
  EXPECT_EQ(Run(1, 20), kWholeRange);
}

}  // namespace
}  // namespace pelmo
