#include "quote/page_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelmo {
namespace {

PageRow Row(int month, int day, std::vector<double> values, std::size_t cells = 0) {
  PageRow row;
  row.record.date = FromCalendar(2007, month, day);
  row.dateText = Format(row.record.date, "%Y/%m/%d");
  std::copy(values.begin(), values.end(), row.record.values.begin());
  row.cellCount = cells != 0 ? cells : values.size() + 1;
  return row;
}

const std::vector<double> kPrices = {1000, 1010, 990, 1005, 1200, 1005};

SplitEvent Split() {
  return {FromCalendar(2007, 1, 20), 1.0f, 2.0f};
}

class PageRowsTest : public ::testing::Test {
 protected:
  std::string Store(std::vector<PageRow> rows, const PageWindow* window = nullptr) {
    PageRows page;
    page.rows = std::move(rows);
    page.splits = {Split()};
    return Store(page, window);
  }

  std::string Store(const PageRows& page, const PageWindow* window) {
    return StorePageRows(job_, page, window).message;
  }

  DownloadJob job_;
};

// On a tie between counts every row of the tied counts goes, and with it the split note.
TEST_F(PageRowsTest, CellCountTieRefusesEveryTiedRow) {
  EXPECT_EQ(Store({Row(1, 5, kPrices), Row(1, 8, {1, 2, 1, 2, 3}), Row(1, 9, kPrices),
                   Row(1, 10, {1, 2, 1, 2, 3})}),
            "4 rows not stored: row 2007/01/05 has 7 cells, the others 6");
  EXPECT_TRUE(job_.records.empty());
  EXPECT_TRUE(job_.splitEvents.empty());
  EXPECT_EQ(job_.columnCount, 0);
}

// A page that stores some rows keeps its note; one without data rows keeps it as well.
TEST_F(PageRowsTest, SplitNoteGoesOnlyWithEveryRow) {
  EXPECT_EQ(Store({Row(1, 5, kPrices), Row(1, 8, {1010, 1000, 990, 1005, 1, 1})}),
            "1 rows not stored: row 2007/01/08: open 1010 above high 1000");
  EXPECT_EQ(job_.records.size(), 1u);
  EXPECT_EQ(job_.splitEvents.size(), 1u);
  job_ = DownloadJob();
  EXPECT_EQ(Store({}), "");
  EXPECT_EQ(job_.splitEvents.size(), 1u);
}

TEST_F(PageRowsTest, PriceChecksSkipZerosAndMarginPages) {
  const struct {
    std::vector<double> values;
    std::string problem;
  } cases[] = {
      {{1000, 990, 1010, 1005, 1, 1}, "low 1010 above high 990"},
      {{980, 1010, 990, 1005, 1, 1}, "open 980 below low 990"},
      {{1000, 1010, 990, 985.5, 1, 1}, "close 985.5 below low 990"},
      {{1000, 1010, 990, 1011, 1, 1}, "close 1011 above high 1010"},
      {{1000, 1010, 990, 1005, -0.5, 1}, "volume -0.5 is negative"},
      {{0, 1010, 990, 1005, 1, 1}, ""},
      {{1000, 0, 0, 5000, 1, 1}, ""},
      {{0, 0, 0, 0, 0, 0}, ""},
      {{1e307, 1e307, 1e307, 1e307, 1, 1}, "value 1e+307 is out of range"},
  };
  for (const auto& c : cases) {
    job_ = DownloadJob();
    EXPECT_EQ(Store({Row(1, 5, c.values)}),
              c.problem.empty() ? "" : "1 rows not stored: row 2007/01/05: " + c.problem);
    job_ = DownloadJob();
    job_.margin = true;
    const bool inRange = c.values[0] < 1e300;
    EXPECT_EQ(Store({Row(1, 5, c.values)}).empty(), inRange) << c.problem;
  }
}

// A row may run 31 days past either end of its window, not 32.
TEST_F(PageRowsTest, WindowWidenedByAMonth) {
  const PageWindow window{FromCalendar(2007, 2, 1), FromCalendar(2007, 2, 28, 10, 30)};
  EXPECT_EQ(Store({Row(1, 1, kPrices), Row(3, 31, kPrices)}, &window), "");
  EXPECT_EQ(Store({Row(3, 31, kPrices), Row(4, 1, kPrices), Row(1, 1, kPrices)}, &window),
            "1 rows not stored: row 2007/04/01 is outside the window");
  EXPECT_EQ(job_.records.size(), 2u);
  EXPECT_EQ(Store({Row(1, 1, kPrices), Row(12, 31, kPrices)}, &window),
            "1 rows not stored: row 2007/12/31 is outside the window");
}

// Rows of another number of values than the existing file's would put values of one kind
// into columns of another; a file without rows sets no count.
TEST_F(PageRowsTest, ValueCountOfTheExistingFile) {
  job_.outputPath = "7203.csv";
  job_.storedValueCount = 6;
  EXPECT_EQ(Store({Row(1, 5, {1, 2, 3, 4, 5}), Row(1, 8, {1, 2, 3, 4, 5})}),
            "2 rows not stored: rows have 5 values, 7203.csv has 6");
  EXPECT_EQ(Store({Row(1, 5, kPrices, 9)}),
            "1 rows not stored: rows have 8 values, 7203.csv has 6");
  EXPECT_EQ(Store({Row(1, 5, kPrices)}), "");
  EXPECT_EQ(job_.columnCount, 6);
}

// Undated rows are dropped before the checks and have no say in the common count.
TEST_F(PageRowsTest, UndatedRowsTakeNoPart) {
  PageRow undated = Row(1, 5, {1, 2, 3});
  undated.record.date = SerialDate::Invalid();
  EXPECT_EQ(Store({undated, undated, Row(1, 8, kPrices)}), "");
  ASSERT_EQ(job_.records.size(), 1u);
  EXPECT_EQ(job_.splitEvents.size(), 1u);
}

}  // namespace
}  // namespace pelmo
