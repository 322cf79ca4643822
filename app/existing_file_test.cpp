#include "app/existing_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "app/output_file.h"
#include "app/test_support_for_test.h"

namespace pelmo {
namespace {

std::vector<double> Values(const QuoteRecord& record, int count) {
  return {record.values.begin(), record.values.begin() + count};
}

TEST(ExistingFileLine, FieldsSplitAtCommasAndTabs) {
  int count = -1;
  QuoteRecord record = ParseRecordLine("2007/03/13,1001,1010,995.5\n", count);
  EXPECT_EQ(Format(record.date, "%Y/%m/%d %T"), "2007/03/13 00:00:00");
  EXPECT_EQ(count, 3);
  EXPECT_EQ(Values(record, 6), (std::vector<double>{1001, 1010, 995.5, 0, 0, 0}));

  record = ParseRecordLine("2007/03/13\t1001\t1010\n", count);
  EXPECT_TRUE(record.date.IsValid());
  EXPECT_EQ(Values(record, 3), (std::vector<double>{1001, 1010, 0}));

  // Empty fields vanish, so 1010 moves to the first value.
  record = ParseRecordLine("2007/03/13,,1010\n", count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(Values(record, 2), (std::vector<double>{1010, 0}));

  record = ParseRecordLine(",\t,2007/03/13,\t5", count);
  EXPECT_TRUE(record.date.IsValid());
  EXPECT_EQ(Values(record, 1), (std::vector<double>{5}));
}

TEST(ExistingFileLine, OddFields) {
  int count = -1;
  QuoteRecord record = ParseRecordLine("2007/03/13,1,2,3,4,5,6,7,8\n", count);
  EXPECT_EQ(count, 6);
  EXPECT_EQ(Values(record, 6), (std::vector<double>{1, 2, 3, 4, 5, 6}));

  record = ParseRecordLine("2007/03/13 10:30,abc, 1e3,12.5x,1e300,-1e300\n", count);
  EXPECT_EQ(Format(record.date, "%T"), "00:00:00");
  EXPECT_EQ(Values(record, 5), (std::vector<double>{0, 1000, 12.5, 1e300, -1e300}));
  EXPECT_EQ(record.source, RecordSource::ExistingFile);

  record = ParseRecordLine("Invalid DateTime,0,0\n", count);
  EXPECT_EQ(record.date.status, DateStatus::Invalid);
  EXPECT_EQ(count, 2);

  // A trailing separator leaves the line feed as a field of its own, read as 0.
  record = ParseRecordLine("2007/03/13,\n", count);
  EXPECT_EQ(count, 1);
}

class ExistingFileTest : public ::testing::Test {
 protected:
  DownloadJob Load(const std::string& contents) {
    DownloadJob job;
    job.outputPath = folder_.Path("1234.csv");
    WriteFileForTest(job.outputPath, contents);
    LoadExistingFile(job);
    return job;
  }

  ScratchFolderForTest folder_;
};

TEST_F(ExistingFileTest, MissingFileLoadsNothing) {
  DownloadJob job;
  job.outputPath = folder_.Path("absent.csv");
  job.columnCount = 3;
  LoadExistingFile(job);
  EXPECT_TRUE(job.records.empty());
  EXPECT_EQ(job.columnCount, 3);
}

TEST_F(ExistingFileTest, LinesAndColumnCount) {
  const std::string contents =
      "2007/03/13,1,2\r\n"
      "\r\n"
      " \t \r\n"
      "damaged\r\n"
      "2007/03/14,1,2,3,4\r\n"
      "2007/03/15,9";
  const DownloadJob job = Load(contents);
  const auto& records = job.records.Records();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[1].date.status, DateStatus::Invalid);
  EXPECT_EQ(Format(records[3].date, "%Y/%m/%d"), "2007/03/15");
  EXPECT_EQ(records[3].values[0], 9);
  EXPECT_EQ(job.columnCount, 4);
  // The loader only reads: the file stays, unchanged, and no backup appears.
  EXPECT_EQ(ReadFileForTest(job.outputPath), contents);
  EXPECT_FALSE(std::filesystem::exists(folder_.Path("1234.bak")));
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
    written.records.Append({SerialDate::Invalid(), {}});
    written.records.Append({FromCalendar(100, 1, 1), {123456789, 16777217, 3, 4, 5, 6}});
    ASSERT_TRUE(WriteOutputFile(written).ok());
    const std::string bytes = ReadFileForTest(written.outputPath);

    DownloadJob loaded;
    loaded.outputPath = written.outputPath;
    loaded.tabSeparated = tab;
    LoadExistingFile(loaded);
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
    ASSERT_TRUE(WriteOutputFile(loaded).ok());
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
  ASSERT_TRUE(WriteOutputFile(job).ok());
  EXPECT_EQ(ReadFileForTest(job.outputPath), contents);
}

// Spreadsheets that save "CSV UTF-8" put a byte-order mark before the first line; only
// there is it skipped.
TEST_F(ExistingFileTest, ByteOrderMarkAtTheStartIsSkipped) {
  const std::string mark = "\xEF\xBB\xBF";
  DownloadJob job = Load(mark + "2007/03/13,1,2\r\n" + mark + "2007/03/14,3\r\n");
  const auto& records = job.records.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(Format(records[0].date, "%Y/%m/%d"), "2007/03/13");
  EXPECT_EQ(Values(records[0], 2), (std::vector<double>{1, 2}));
  EXPECT_EQ(records[1].date.status, DateStatus::Invalid);

  // A mark alone on the first line leaves a blank line; a mark cut short is no mark.
  EXPECT_EQ(Load(mark + "\r\n2007/03/13,1\r\n").records.size(), 1u);
  job = Load(
      "\xEF\xBB"
      "2007/03/13,1\r\n");
  ASSERT_EQ(job.records.size(), 1u);
  EXPECT_EQ(job.records.Records()[0].date.status, DateStatus::Invalid);
  EXPECT_EQ(Load(mark).records.size(), 0u);
}

// An old row and a page row of one date: the page row's values are kept; two old rows of
// a date lose only the first.
TEST_F(ExistingFileTest, PageRowsReplaceLoadedRows) {
  DownloadJob job = Load(
      "2007/03/14,1\r\n"
      "2007/03/13,2\r\n"
      "2007/03/14,3\r\n"
      "2007/03/12,4\r\n");
  job.records.ReplaceByDate({FromCalendar(2007, 3, 14), {5}});
  job.records.ReplaceByDate({FromCalendar(2007, 3, 13), {6}});
  job.records.SortByDate();
  ASSERT_TRUE(WriteOutputFile(job).ok());
  EXPECT_EQ(ReadFileForTest(job.outputPath),
            "2007/03/12,4\r\n2007/03/13,6\r\n2007/03/14,3\r\n2007/03/14,5\r\n");
  EXPECT_EQ(ReadFileForTest(folder_.Path("1234.bak")),
            "2007/03/14,1\r\n2007/03/13,2\r\n2007/03/14,3\r\n2007/03/12,4\r\n");
}

}  // namespace
}  // namespace pelmo
