#include "quote/table_rows.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "quote/test_markup_util.h"

namespace pelmo {
namespace {

const std::string kYear = "\x94\x4E";
const std::string kMonth = "\x8C\x8E";
const std::string kDay = "\x93\xFA";
const std::string kSplit = "\x95\xAA\x8A\x84:";

std::string PageDate(int year, int month, int day) {
  return std::to_string(year) + kYear + std::to_string(month) + kMonth + std::to_string(day) + kDay;
}

std::string Row(std::initializer_list<std::string> cells) {
  std::string row = "<tr>";
  for (const std::string& cell : cells) {
    row += "<td>" + cell + "</td>";
  }
  return row + "</tr>";
}

const std::string kHeader = Row({"Date", "Open", "High", "Low", "Close", "Volume", "Adj"});

// A job whose note rows land in a temporary file.
class TableRowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stream_.reset(std::tmpfile());
    ASSERT_NE(stream_, nullptr);
    job_.errorStream = stream_.get();
  }

  // Reads a page of `rows` into the job, its result into `read_`; `window`, when given, is
  // the window the page was asked for.
  void ReadPage(const std::string& rows, const PageWindow* window = nullptr) {
    test::TestTree tree = test::TestTree::FromMarkup("<table>" + rows + "</table>");
    read_ = ReadTable(job_, tree.Body()->firstChild, window);
  }

  std::string Echoed() {
    std::string text;
    std::rewind(stream_.get());
    for (int c; (c = std::fgetc(stream_.get())) != EOF;) {
      text += static_cast<char>(c);
    }
    return text;
  }

  // The one record of the job; a failure, and a blank record, when there is not exactly one.
  const QuoteRecord& Only() {
    static const QuoteRecord kNone;
    if (job_.records.size() != 1) {
      ADD_FAILURE() << job_.records.size() << " records";
      return kNone;
    }
    return job_.records.Records().front();
  }

  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> stream_;
  DownloadJob job_;
  Result read_;
};

TEST_F(TableRowsTest, DataRowBecomesRecord) {
  ReadPage(kHeader +
           Row({PageDate(2007, 1, 5), "1,234", "1,250", "1,200", "1,240", "123,456,789", "1,240"}));
  const QuoteRecord& record = Only();
  EXPECT_TRUE(Equals(record.date, FromCalendar(2007, 1, 5)));
  // The volume keeps every digit: a float would hold 123456792.
  const std::array<double, 6> expected = {1234, 1250, 1200, 1240, 123456789, 1240};
  EXPECT_EQ(record.values, expected);
  EXPECT_EQ(job_.columnCount, 6);
  EXPECT_EQ(Echoed(), "");
}

TEST_F(TableRowsTest, FirstRowIsDroppedEvenWhenItLooksLikeData) {
  ReadPage(Row({PageDate(2007, 1, 4), "1", "2", "3"}) + Row({PageDate(2007, 1, 5), "4", "5"}));
  EXPECT_TRUE(Equals(Only().date, FromCalendar(2007, 1, 5)));
  EXPECT_EQ(Only().values[0], 4.0f);
  EXPECT_EQ(job_.columnCount, 2);
}

TEST_F(TableRowsTest, SplitNoteIsRecordedAndEchoed) {
  const std::string note = kSplit + " 1 -> 2";
  ReadPage(kHeader + Row({PageDate(2007, 1, 5), note}));
  EXPECT_TRUE(job_.records.empty());
  ASSERT_EQ(job_.splitEvents.size(), 1u);
  EXPECT_TRUE(Equals(job_.splitEvents[0].date, FromCalendar(2007, 1, 5)));
  EXPECT_EQ(job_.splitEvents[0].sharesBefore, 1.0f);
  EXPECT_EQ(job_.splitEvents[0].sharesAfter, 2.0f);
  EXPECT_EQ(Echoed(), "2007/01/05," + note + "\r\n");
}

// A note repeated on a page, or on a later page, would halve the older prices twice; each
// copy is still echoed. A note of other share counts or another date is a split of its own.
TEST_F(TableRowsTest, RepeatedSplitNoteIsKeptOnce) {
  const std::string note = kSplit + " 1 -> 2";
  ReadPage(kHeader + Row({PageDate(2007, 1, 5), note}) + Row({PageDate(2007, 1, 5), note}) +
           Row({PageDate(2007, 1, 5), kSplit + " 1 -> 3"}) + Row({PageDate(2007, 1, 6), note}));
  ReadPage(kHeader + Row({PageDate(2007, 1, 6), note}));
  ASSERT_EQ(job_.splitEvents.size(), 3u);
  EXPECT_EQ(job_.splitEvents[0].sharesAfter, 2.0f);
  EXPECT_EQ(job_.splitEvents[1].sharesAfter, 3.0f);
  EXPECT_TRUE(Equals(job_.splitEvents[2].date, FromCalendar(2007, 1, 6)));
  const std::string line = "2007/01/05," + note + "\r\n";
  const std::string later = "2007/01/06," + note + "\r\n";
  EXPECT_EQ(Echoed(), line + line + "2007/01/05," + kSplit + " 1 -> 3\r\n" + later + later);
}

TEST_F(TableRowsTest, NoteRowsWithoutSplit) {
  ReadPage(kHeader + Row({"note"}) + "<tr></tr>" + Row({"2007" + kYear, "1 -> 2"}) +
           Row({PageDate(2007, 1, 5), kSplit + " 1 to 2"}) + Row({"", "x"}));
  EXPECT_TRUE(job_.splitEvents.empty());
  EXPECT_TRUE(job_.records.empty());
  // An empty cell holds no text, so the last row has the one cell "x", read as a date.
  EXPECT_EQ(Echoed(), "0000/00/01\r\n\r\n2007/00/01,1 -> 2\r\n2007/01/05," + kSplit +
                          " 1 to 2\r\n0000/00/01\r\n");
}

TEST_F(TableRowsTest, SplitNumbersAreReadFromOneBytePastTheirLiterals) {
  // No space after the colon: the first digit is skipped.
  ReadPage(kHeader + Row({PageDate(2006, 4, 1), kSplit + "10->25"}) +
           Row({PageDate(2006, 4, 2), "-> 3 " + kSplit + " 4"}));
  ASSERT_EQ(job_.splitEvents.size(), 2u);
  EXPECT_EQ(job_.splitEvents[0].sharesBefore, 0.0f);
  EXPECT_EQ(job_.splitEvents[0].sharesAfter, 5.0f);
  // The arrow before the literal leaves nothing between them.
  EXPECT_EQ(job_.splitEvents[1].sharesBefore, 0.0f);
  EXPECT_EQ(job_.splitEvents[1].sharesAfter, 3.0f);
}

TEST_F(TableRowsTest, DateCellRule) {
  const std::string dayOnly = "x1" + kMonth + "5" + kDay;
  const std::string straddle = "2007\x88" + kYear + "1" + kMonth;
  ReadPage(kHeader + Row({"2007" + kYear + "1" + kMonth}) + Row({dayOnly}) +
           Row({"99999999999" + kYear + "1" + kMonth}) + Row({"-5" + kYear}) +
           Row({" 2007" + kYear + "\n12" + kMonth + "31" + kDay + " (Mon)"}) + Row({straddle}));
  // Without the year literal the month is read from the second byte on. The 0x88 takes the
  // year literal's first byte along, so no year is found and the month is "007...".
  EXPECT_EQ(Echoed(),
            "2007/01/01\r\n0000/01/05\r\n2147483647/01/01\r\n-0005/00/01\r\n2007/12/31\r\n"
            "0000/07/01\r\n");
}

TEST_F(TableRowsTest, UsualDateFormsAndTheirNearMisses) {
  const std::string month = "2007" + kYear + "1" + kMonth;
  ReadPage(kHeader + Row({month + "5" + kDay + " (Mon)\r"}) + Row({"7" + kYear + "1" + kMonth}) +
           Row({month}) + Row({month + " "}) + Row({month + "5"}) + Row({month + "x5" + kDay}) +
           Row({month + "123" + kDay}) + Row({"12345" + kYear + "1" + kMonth + "5" + kDay}) +
           Row({"2007" + kYear + "123" + kMonth + "5" + kDay}) +
           Row({"2007" + kYear + kDay + "1" + kMonth}) +
           Row({"0" + kYear + "0" + kMonth + "0" + kDay}));
  // A day without its literal, or with other bytes before it, reads as the rule says.
  EXPECT_EQ(Echoed(),
            "2007/01/05\r\n0007/01/01\r\n2007/01/01\r\n2007/01/01\r\n2007/01/01\r\n2007/01/00\r\n"
            "2007/01/123\r\n12345/01/05\r\n2007/123/05\r\n2007/00/00\r\n0000/00/00\r\n");
}

// Every date text the rule writes, in range or not, dates its row as Parse reads that text.
TEST_F(TableRowsTest, RowDatesAreWhatParseGivesTheDateText) {
  std::string rows = kHeader;
  std::vector<std::string> texts;
  for (const int year : {-5, 0, 7, 99, 100, 1899, 1900, 2000, 2008, 9999, 10000}) {
    for (const int month : {0, 1, 2, 12, 13, 99, 100}) {
      for (const int day : {0, 1, 28, 29, 30, 31, 32, 99}) {
        char text[48];
        std::snprintf(text, sizeof text, "%.4d/%.2d/%.2d", year, month, day);
        texts.push_back(text);
        rows += Row({PageDate(year, month, day), "1", "2"});
      }
    }
  }
  ReadPage(rows);
  // Rows whose text is no date are not stored.
  std::vector<SerialDate> expected;
  for (const std::string& text : texts) {
    if (const SerialDate date = Parse(text, TimeOfDay::Drop); date.IsValid()) {
      expected.push_back(date);
    }
  }
  const auto& records = job_.records.Records();
  ASSERT_EQ(records.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_TRUE(records[i].date.IsValid()) << i;
    EXPECT_EQ(records[i].date.value, expected[i].value) << Format(expected[i], "%Y/%m/%d");
  }
}

TEST_F(TableRowsTest, CommasGoOnlyWhereTheyAreCharacters) {
  job_.margin = true;  // values of any sign and order
  const std::string longCell = std::string(70, '1') + ",2";
  // 0x82 leads a double-byte character, so the comma after it is its second byte and stays;
  // 0xB1 is a character of its own.
  ReadPage(kHeader + Row({"x", "\x82,1,2"}) + Row({"x", "1,2\r\n3"}) + Row({"x", "\xB1,5"}) +
           Row({"x", longCell}) +
           Row({PageDate(2007, 1, 5), "\x82,1", "1,2\n", std::string(80, ',') + "7", ",-,3,"}));
  EXPECT_EQ(Echoed(),
            "0000/00/01,\x82,12\r\n0000/00/01,12  3\r\n0000/00/01,\xB1"
            "5\r\n0000/00/01," +
                std::string(70, '1') + "2\r\n");
  const std::array<double, 6> expected = {0, 12, 7, -3, 0, 0};
  EXPECT_EQ(Only().values, expected);
}

// A row without a date could never be merged: stored, it would be added again by every run
// that reads the page. It adds no columns either.
TEST_F(TableRowsTest, MonthlyDateKeptAndRowsWithoutDateDropped) {
  const std::string page = kHeader + Row({"2007" + kYear + "1" + kMonth, "5", "6"}) +
                           Row({"-", "7", "8", "9"}) +
                           Row({"2007" + kYear + "13" + kMonth, "9", "10"});
  ReadPage(page);
  ReadPage(page);
  // The undated row has no say in the checks of the page's other rows.
  EXPECT_TRUE(read_.ok());
  const auto& records = job_.records.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_TRUE(Equals(records[0].date, FromCalendar(2007, 1, 1)));
  EXPECT_EQ(records[0].values[0], 5.0);
  EXPECT_EQ(job_.columnCount, 2);
  EXPECT_EQ(Echoed(), "");
}

TEST_F(TableRowsTest, CellsComeFromTextNodes) {
  job_.margin = true;  // values of any sign and order
  // An empty td adds no cell; a line break inside a td makes two; a line feed is a space.
  ReadPage(kHeader + Row({PageDate(2007, 1, 5), "", "1,234\n", "12<br>34", "5"}));
  const std::array<double, 6> expected = {1234, 12, 34, 5, 0, 0};
  EXPECT_EQ(Only().values, expected);
  EXPECT_EQ(job_.columnCount, 4);
}

TEST_F(TableRowsTest, ColumnCountNeverDropsAndExtraCellsAreDropped) {
  ReadPage(kHeader + Row({PageDate(2007, 1, 5), "1", "2", "1", "2", "5", "6", "7", "8"}));
  ReadPage(kHeader + Row({PageDate(2007, 1, 8), "1", "2"}));
  EXPECT_TRUE(read_.ok());
  EXPECT_EQ(job_.columnCount, 6);
  const auto& records = job_.records.Records();
  ASSERT_EQ(records.size(), 2u);
  const std::array<double, 6> expected = {1, 2, 1, 2, 5, 6};
  EXPECT_EQ(records[0].values, expected);
}

TEST_F(TableRowsTest, LaterPageReplacesSameDate) {
  ReadPage(kHeader + Row({PageDate(2007, 1, 5), "1", "1"}) + Row({PageDate(2007, 1, 8), "2", "2"}) +
           Row({PageDate(2007, 1, 9), kSplit + " 1 -> 2"}));
  ReadPage(kHeader + Row({PageDate(2007, 1, 5), "3", "3"}) +
           Row({PageDate(2007, 1, 9), kSplit + " 1 -> 2"}));
  const auto& records = job_.records.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(Equals(records[0].date, FromCalendar(2007, 1, 8)));
  EXPECT_TRUE(Equals(records[1].date, FromCalendar(2007, 1, 5)));
  EXPECT_EQ(records[1].values[0], 3.0f);
  EXPECT_EQ(job_.splitEvents.size(), 1u);
}

TEST_F(TableRowsTest, EchoWritesControlBytesAsSpaces) {
  const std::string cell = std::string(
                               "a\tb\x01"
                               "c\x7F"
                               "d\0e",
                               9) +
                           "\x95\xAA";
  test::TestTree tree = test::TestTree::FromMarkup("<table><tr></tr><tr></tr></table>");
  HtmlNode* row = tree.Body()->firstChild->firstChild->nextSibling;
  tree.AddText(row, "note\r");
  tree.AddText(row, cell);
  EXPECT_TRUE(ReadTable(job_, tree.Body()->firstChild, nullptr).ok());
  // The text node ends at its NUL.
  EXPECT_EQ(Echoed(), "0000/00/01,a\tb c d\r\n");
}

TEST_F(TableRowsTest, NullStreamAndNullNodes) {
  job_.errorStream = nullptr;
  test::TestTree tree = test::TestTree::FromMarkup(
      "<table>" + kHeader + Row({PageDate(2007, 1, 5), kSplit + " 1 -> 2"}) + "<tr></tr></table>");
  HtmlNode* row = tree.Body()->firstChild->firstChild->nextSibling->nextSibling;
  tree.AddText(row, PageDate(2007, 1, 8));
  tree.AddText(row, "1");
  tree.AddText(row, "")->data = nullptr;  // a null text is an empty cell
  EXPECT_TRUE(ReadTable(job_, tree.Body()->firstChild, nullptr).ok());
  EXPECT_TRUE(ReadTable(job_, nullptr, nullptr).ok());
  ASSERT_EQ(job_.splitEvents.size(), 1u);
  const std::array<double, 6> expected = {1, 0, 0, 0, 0, 0};
  EXPECT_EQ(Only().values, expected);
  EXPECT_EQ(job_.columnCount, 2);
  EXPECT_EQ(Echoed(), "");
}

TEST_F(TableRowsTest, DeepTreeIsReadWithoutRecursion) {
  test::TestTree tree = test::TestTree::FromMarkup("<table>" + kHeader + "<tr></tr></table>");
  HtmlNode* row = tree.Body()->firstChild->firstChild->nextSibling;
  tree.AddText(row, PageDate(2007, 1, 5));
  HtmlNode* node = tree.AddElement(row, 4);
  for (int i = 0; i < 200000; ++i) {
    node = tree.AddElement(node, 4);
  }
  tree.AddText(node, "7");
  tree.AddText(row, "8");
  EXPECT_TRUE(ReadTable(job_, tree.Body()->firstChild, nullptr).ok());
  EXPECT_EQ(Only().values[0], 7.0f);
  EXPECT_EQ(Only().values[1], 8.0f);
}

TEST_F(TableRowsTest, HugePagesStayLinear) {
  std::string rows = kHeader;
  const SerialDate first = FromCalendar(1800, 1, 1);
  const int rowCount = 100000;
  for (int i = 0; i < rowCount; ++i) {
    const SerialDate date = AddDays(first, i);
    rows += Row({PageDate(Year(date), Month(date), Day(date)), "1", std::to_string(i)});
  }
  std::string wide = "<tr><td>" + PageDate(2100, 1, 1) + "</td>";
  for (int i = 0; i < 10000; ++i) {
    wide += "<td>" + std::to_string(i) + "</td>";
  }
  rows += wide + "</tr>" + Row({PageDate(2100, 1, 2), std::string(2'000'000, ',') + "5", "6"});
  ReadPage(rows);
  // The wide row is the odd one out among the page's rows: it alone is refused.
  EXPECT_EQ(read_.message, "1 rows not stored: row 2100/01/01 has 10001 cells, the others 3");
  const auto& records = job_.records.Records();
  ASSERT_EQ(records.size(), rowCount + 1u);
  EXPECT_EQ(records[rowCount - 1].values[1], static_cast<float>(rowCount - 1));
  EXPECT_EQ(records[rowCount].values[0], 5.0f);
}

}  // namespace
}  // namespace pelmo
