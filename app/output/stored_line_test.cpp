#include "app/output/stored_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace pelmo {
namespace {

std::vector<double> Values(const StoredRow& row) {
  return {row.record.values.begin(), row.record.values.begin() + row.valueCount};
}

TEST(StoredLine, FieldsEndAtEachCommaOrTab) {
  auto row = ParseRecordLine("2007/03/13,1001,1010\t995.5");
  ASSERT_TRUE(row);
  EXPECT_EQ(Format(row->record.date, "%Y/%m/%d %T"), "2007/03/13 00:00:00");
  EXPECT_EQ(Values(*row), (std::vector<double>{1001, 1010, 995.5}));
  EXPECT_EQ(row->record.source, RecordSource::ExistingFile);

  // Empty fields at the end go; a date alone is a row without values.
  row = ParseRecordLine("2007/03/13,1,2,,\t");
  ASSERT_TRUE(row);
  EXPECT_EQ(Values(*row), (std::vector<double>{1, 2}));
  row = ParseRecordLine("2007/03/13");
  ASSERT_TRUE(row);
  EXPECT_EQ(row->valueCount, 0);

  // An empty field between two others would move 1010 into the open's column.
  EXPECT_FALSE(ParseRecordLine("2007/03/13,,1010"));
  EXPECT_FALSE(ParseRecordLine("2007/03/13,1,\"\",3"));
  EXPECT_FALSE(ParseRecordLine(",2007/03/13,5"));
  EXPECT_FALSE(ParseRecordLine("\t2007/03/13\t5"));
}

TEST(StoredLine, DatesAsTheCommandLineTakesThem) {
  for (const char* line : {"2007/1/4,1", "2007-01-04,1", " 2007/01/04 ,1", "2007/01/04 10:30,1",
                           "\"2007/01/04 0:00:00\",1"}) {
    const auto row = ParseRecordLine(line);
    ASSERT_TRUE(row) << line;
    EXPECT_EQ(Format(row->record.date, "%Y/%m/%d %T"), "2007/01/04 00:00:00") << line;
  }
  for (const char* line : {"Date,Open", "2007/13/01,1", "2007/02/30,1", "07/01/04,1",
                           "2007/01/04x,1", "\xFF\xFE\x32\x00,1", ""}) {
    EXPECT_FALSE(ParseRecordLine(line)) << line;
  }
}

// The forms a spreadsheet program saves: every field quoted, thousands grouped.
TEST(StoredLine, QuotedFieldsAndThousands) {
  const auto row =
      ParseRecordLine("\"2007/1/4\",\"1,000\",\"1,010.5\",\"990\",\"-1,005\",\"12,345,678\",1");
  ASSERT_TRUE(row);
  EXPECT_EQ(Values(*row), (std::vector<double>{1000, 1010.5, 990, -1005, 12345678, 1}));
  // Unquoted, a comma is a separator like any other.
  EXPECT_EQ(Values(*ParseRecordLine("2007/01/04,1,000")), (std::vector<double>{1, 0}));
  // A doubled quote is a quote, and makes no number; nor do bytes after the closing quote.
  EXPECT_FALSE(ParseRecordLine("2007/01/04,\"\"\"5\"\"\""));
  EXPECT_FALSE(ParseRecordLine("2007/01/04,\"12\"x"));
  EXPECT_FALSE(ParseRecordLine("\"2007/01/04\"x,12"));
  // A quote left open runs to the end of the line.
  EXPECT_FALSE(ParseRecordLine("2007/01/04,\"12,5"));
}

TEST(StoredLine, ExtraFieldsMustBeNumbersButAreNotKept) {
  auto row = ParseRecordLine("2007/03/13,1,2,3,4,5,6,7,8");
  ASSERT_TRUE(row);
  EXPECT_EQ(row->valueCount, 6);
  EXPECT_EQ(Values(*row), (std::vector<double>{1, 2, 3, 4, 5, 6}));
  EXPECT_FALSE(ParseRecordLine("2007/03/13,1,2,3,4,5,6,7,x"));
}

TEST(StoredLine, OnlyDecimalTextIsANumber) {
  const struct {
    const char* text;
    bool grouped;
    std::optional<double> value;
  } cases[] = {
      {"1001", false, 1001},
      {" 1e3 ", false, 1000},
      {"-0.125", false, -0.125},
      {"+5", false, 5},
      {".5", false, 0.5},
      {"5.", false, 5},
      {"1e300", false, 1e300},
      {"-1e306", false, -1e306},
      {"1e307", false, std::nullopt},
      {"1e400", false, std::nullopt},
      {"23456789", false, 23456789},
      {"1,234,567.5", true, 1234567.5},
      {"999,999", true, 999999},
      {"1,234", false, std::nullopt},
      {"1,23", true, std::nullopt},
      {"1,2345", true, std::nullopt},
      {"1234,567", true, std::nullopt},
      {",123", true, std::nullopt},
      {"1,", true, std::nullopt},
      {"", false, std::nullopt},
      {"-", false, std::nullopt},
      {".", false, std::nullopt},
      {"1e", false, std::nullopt},
      {"1e+", false, std::nullopt},
      {"12.5x", false, std::nullopt},
      {"1 2", false, std::nullopt},
      {"inf", false, std::nullopt},
      {"nan", false, std::nullopt},
      {"0x10", false, std::nullopt},
      {"--1", false, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadNumber(c.text, c.grouped), c.value) << c.text;
  }
}

TEST(StoredLine, ExcerptShowsControlBytesAsSpaces) {
  EXPECT_EQ(LineExcerpt(std::string_view("a\0b\tc\x7F\xFE", 7), 40), "a b c \xFE");
  EXPECT_EQ(LineExcerpt("0123456789", 4), "0123");
}

}  // namespace
}  // namespace pelmo
