#include "app/output/existing_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "app/output/output_file.h"
#include "app/tests/output_target_for_test.h"
#include "app/tests/test_support_for_test.h"

namespace pelmo {
namespace {

std::vector<double> Values(const QuoteRecord& record, int count) {
  return {record.values.begin(), record.values.begin() + count};
}

class ExistingFileTest : public ::testing::Test {
 protected:
  DownloadJob Load(const std::string& contents) {
    DownloadJob job;
    job.outputPath = folder_.Path("1234.csv");
    WriteFileForTest(job.outputPath, contents);
    EXPECT_TRUE(ReadFoundOutputForTest(job).ok());
    return job;
  }

  // The line that refuses `contents`, or "" when it is read.
  std::string Refusal(const std::string& contents) {
    DownloadJob job;
    const Result result = ReadStoredRows(contents, "1234.csv", job);
    return FailureLine(result);
  }

  ScratchFolderForTest folder_;
};

TEST_F(ExistingFileTest, MissingFileLoadsNothing) {
  DownloadJob job;
  job.outputPath = folder_.Path("absent.csv");
  job.columnCount = 3;
  ASSERT_TRUE(ReadFoundOutputForTest(job).ok());
  EXPECT_TRUE(job.records.empty());
  EXPECT_EQ(job.columnCount, 3);
}

TEST_F(ExistingFileTest, LinesAndColumnCount) {
  const std::string contents =
      "2007/03/13,1,2\r\n"
      "\r\n"
      " \t \r\n"
      "Invalid DateTime,0,0\r\n"
      "2007/03/14,1,2,3,4\r\n"
      "2007/03/15,9";
  const DownloadJob job = Load(contents);
  const auto& records = job.records.Records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(Format(records[2].date, "%Y/%m/%d"), "2007/03/15");
  EXPECT_EQ(records[2].values[0], 9);
  EXPECT_EQ(job.columnCount, 4);
  EXPECT_EQ(job.storedValueCount, 4);
  // The loader only reads: the file stays, unchanged, and no backup appears.
  EXPECT_EQ(ReadFileForTest(job.outputPath), contents);
  EXPECT_FALSE(std::filesystem::exists(folder_.Path("1234.bak")));
}

TEST_F(ExistingFileTest, FileWithoutRowsHasNoValueCount) {
  EXPECT_FALSE(Load("\r\nInvalid DateTime\r\n").storedValueCount);
  EXPECT_EQ(Load("2007/03/13\r\n").storedValueCount, 0);
}

// Line ends of every kind, mixed: a CR LF is one line end, and lines are counted so.
TEST_F(ExistingFileTest, LineEndsLfCrLfAndCrAlone) {
  const DownloadJob job = Load("2007/03/13,1\r2007/03/14,2\n2007/03/15,3\r\n\r\r\n2007/03/16,4\r");
  ASSERT_EQ(job.records.size(), 4u);
  EXPECT_EQ(job.records.Records()[3].values[0], 4);
  EXPECT_EQ(Refusal("2007/03/13,1\r\r\n\n2007/03/14,x\r\n"),
            "pelmo: cannot read 1234.csv: line 4 is not a dated row: 2007/03/14,x\n");
}

// A line that is not a dated row refuses the file, named by its number and its first 40
// bytes; blank lines and old undated rows count as lines.
TEST_F(ExistingFileTest, LineThatIsNotADatedRowRefusesTheFile) {
  EXPECT_EQ(Refusal("Date,Open,High,Low,Close,Volume,Adj Close\r\n2007/03/13,1\r\n"),
            "pelmo: cannot read 1234.csv: line 1 is not a dated row: "
            "Date,Open,High,Low,Close,Volume,Adj Clos\n");
  EXPECT_EQ(Refusal("2007/03/13,1\r\n\r\nInvalid DateTime,0\r\n# comment\r\n"),
            "pelmo: cannot read 1234.csv: line 4 is not a dated row: # comment\n");
  EXPECT_EQ(Refusal("2007/03/13,,1010\n"),
            "pelmo: cannot read 1234.csv: line 1 is not a dated row: 2007/03/13,,1010\n");
  // A file saved as UTF-16: its NUL bytes are shown as spaces.
  EXPECT_EQ(Refusal(std::string("\xFF\xFE"
                                "2\0"
                                "0\0"
                                ",\0"
                                "1\0"
                                "\r\0\n\0",
                                14)),
            "pelmo: cannot read 1234.csv: line 1 is not a dated row: \xFF\xFE"
            "2 0 , 1 \n");
  EXPECT_EQ(Refusal("2007/03/13,1\r\n\x01\x02\x7F\xC3\xA9\r\n"),
            "pelmo: cannot read 1234.csv: line 2 is not a dated row:    \xC3\xA9\n");
  DownloadJob job;
  EXPECT_EQ(ExitCode(ReadStoredRows("x\n", "1234.csv", job)), 65);
}

// A file saved by a spreadsheet program reads back to exactly the rows pelmo writes.
TEST_F(ExistingFileTest, SpreadsheetFileReadsAsPelmosOwn) {
  const std::string saved =
      "\xEF\xBB\xBF\"2007/1/4\",\"1,000\",\"1,010\",\"990\",\"1,005.5\",\"1,234,567\",\"1,005.5\"\r"
      "\"2007/1/5\",\"1,006\",\"1,020\",\"1,001\",\"1,015\",\"23,456,789\",\"1,015\"\r";
  DownloadJob job = Load(saved);
  job.outputPath = folder_.Path("again.csv");
  ASSERT_TRUE(WriteFoundOutputForTest(job).ok());
  EXPECT_EQ(ReadFileForTest(job.outputPath),
            "2007/01/04,1000,1010,990,1005.5,1234567,1005.5\r\n"
            "2007/01/05,1006,1020,1001,1015,23456789,1015\r\n");
}

// Two rows of one date: the later line wins, as a page row replaces a stored one.
TEST_F(ExistingFileTest, LaterLineOfADateWins) {
  DownloadJob job = Load("2007/03/14,1\r\n2007/03/13,2\r\n2007/3/14,3\r\n");
  job.records.SortByDate();
  const auto& records = job.records.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].values[0], 2);
  EXPECT_EQ(records[1].values[0], 3);
}

TEST_F(ExistingFileTest, LongLinesAreReadWhole) {
  const std::string padding(5000, ' ');
  const DownloadJob job = Load("2007/03/13," + padding + "5," + padding + "6\r\n");
  ASSERT_EQ(job.records.size(), 1u);
  EXPECT_EQ(Values(job.records.Records()[0], 2), (std::vector<double>{5, 6}));
  EXPECT_EQ(job.columnCount, 2);
}

// The file found before the download is the one read, even when its name has since gone
// to another.
TEST_F(ExistingFileTest, ReadsTheFileFoundAtTheOutput) {
  const std::string path = folder_.Path("1234.csv");
  WriteFileForTest(path, "2007/03/13,1,2\r\n");
  OutputTarget target;
  ASSERT_TRUE(OutputTarget::Open(path, target).ok());
  std::filesystem::rename(path, folder_.Path("moved.csv"));
  DownloadJob job;
  ASSERT_TRUE(ReadExistingFile(job, target).ok());
  ASSERT_EQ(job.records.size(), 1u);
  EXPECT_EQ(job.columnCount, 2);
}

// What the writer wrote comes back as the same records and is rewritten byte for byte.
TEST_F(ExistingFileTest, WrittenFileReadsBackAndRewritesIdentically) {
  for (const bool tab : {false, true}) {
    DownloadJob written;
    written.outputPath = folder_.Path(tab ? "tab.csv" : "comma.csv");
    written.tabSeparated = tab;
    written.columnCount = 6;
    written.records.Append({FromCalendar(2007, 3, 13), {1001.1, 1010, 995.5, 1003, 123400, 0}});
    written.records.Append({FromCalendar(1899, 12, 29), {-0.12, 0.13, 1e10, 0, 0, 1}});
    written.records.Append({FromCalendar(100, 1, 1), {123456789, 16777217, 3, 4, 5, 6}});
    ASSERT_TRUE(WriteFoundOutputForTest(written).ok());
    const std::string bytes = ReadFileForTest(written.outputPath);

    DownloadJob loaded;
    loaded.outputPath = written.outputPath;
    loaded.tabSeparated = tab;
    EXPECT_TRUE(ReadFoundOutputForTest(loaded).ok());
    EXPECT_EQ(loaded.columnCount, 6);
    const auto& before = written.records.Records();
    const auto& after = loaded.records.Records();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
      EXPECT_EQ(after[i].date.status, before[i].date.status) << i;
      if (before[i].date.IsValid()) {
        EXPECT_EQ(after[i].date.value, before[i].date.value) << i;
      }
      EXPECT_EQ(after[i].values, before[i].values) << i;
    }

    loaded.outputPath = folder_.Path("again.csv");
    ASSERT_TRUE(WriteFoundOutputForTest(loaded).ok());
    EXPECT_EQ(ReadFileForTest(loaded.outputPath), bytes) << (tab ? "tab" : "comma");
  }
}

// Values come back as their text says, not as the nearest 32-bit float: a volume of
// 23456789 is no longer written as 23456788, nor a stored 16777217 as 16777216.
TEST_F(ExistingFileTest, StoredValuesKeepTheirDigits) {
  const std::string contents =
      "2007/03/13,1001.1,99999999.99,0.01,16777217,23456789,1234567.89\r\n"
      "2007/03/14,100000.05,2.5,3,4,987654321,5\r\n";
  DownloadJob job = Load(contents);
  job.columnCount = 6;
  job.outputPath = folder_.Path("again.csv");
  ASSERT_TRUE(WriteFoundOutputForTest(job).ok());
  EXPECT_EQ(ReadFileForTest(job.outputPath), contents);
}

// Spreadsheets that save "CSV UTF-8" put a byte-order mark before the first line; only
// there is it skipped.
TEST_F(ExistingFileTest, ByteOrderMarkAtTheStartIsSkipped) {
  const std::string mark = "\xEF\xBB\xBF";
  const DownloadJob job = Load(mark + "2007/03/13,1,2\r\n");
  ASSERT_EQ(job.records.size(), 1u);
  EXPECT_EQ(Values(job.records.Records()[0], 2), (std::vector<double>{1, 2}));
  // A mark alone on the first line leaves a blank line.
  EXPECT_EQ(Load(mark + "\r\n2007/03/13,1\r\n").records.size(), 1u);
  EXPECT_EQ(Load(mark).records.size(), 0u);
  // Anywhere else, or cut short, it is no mark, and its line no dated row.
  EXPECT_NE(Refusal("2007/03/13,1\r\n" + mark + "2007/03/14,3\r\n"), "");
  EXPECT_NE(Refusal("\xEF\xBB"
                    "2007/03/13,1\r\n"),
            "");
}

// The bytes read are kept, so that a run that would write them again can leave the file.
TEST_F(ExistingFileTest, BytesReadAreKept) {
  const std::string path = folder_.Path("1234.csv");
  const std::string contents =
      "\xEF\xBB\xBF"
      "2007/03/13,1,2\r2007/03/14,3";
  WriteFileForTest(path, contents);
  OutputTarget target;
  ASSERT_TRUE(OutputTarget::Open(path, target).ok());
  DownloadJob job;
  ASSERT_TRUE(ReadExistingFile(job, target).ok());
  EXPECT_EQ(job.storedBytes, contents);

  DownloadJob none;
  OutputTarget absent;
  ASSERT_TRUE(OutputTarget::Open(folder_.Path("absent.csv"), absent).ok());
  ASSERT_TRUE(ReadExistingFile(none, absent).ok());
  EXPECT_FALSE(none.storedBytes);
}

}  // namespace
}  // namespace pelmo
