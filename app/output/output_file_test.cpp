#include "app/output/output_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

#include "app/tests/output_target_for_test.h"
#include "app/tests/test_support_for_test.h"

namespace pelmo {
namespace {

namespace fs = std::filesystem;

QuoteRecord Record(SerialDate date, std::array<double, 6> values) {
  return {date, values};
}

const SerialDate kMarch13 = FromCalendar(2007, 3, 13);
const SerialDate kMarch14 = FromCalendar(2007, 3, 14);

TEST(OutputLine, SampleLineCommaAndTab) {
  const QuoteRecord record = Record(kMarch13, {1001, 1010, 995.5, 1003, 123400, 1003});
  EXPECT_EQ(FormatRecordLine(record, 6, ','), "2007/03/13,1001,1010,995.5,1003,123400,1003\r\n");
  EXPECT_EQ(FormatRecordLine(record, 6, '\t'),
            "2007/03/13\t1001\t1010\t995.5\t1003\t123400\t1003\r\n");
}

TEST(OutputLine, ValuesRoundToTwoDecimals) {
  const QuoteRecord record = Record(kMarch13, {123456789, 1001.1, 0.125, -0.125, 1e10, 0});
  EXPECT_EQ(FormatRecordLine(record, 6, ','), "2007/03/13,123456789,1001.1,0.13,-0.12,1e+10,0\r\n");
  EXPECT_EQ(FormatRecordLine(Record(kMarch13, {0.004, -0.004, 0.00999}), 3, ','),
            "2007/03/13,0,0,0.01\r\n");
  // Values a 32-bit float could not hold: ten significant digits stay.
  EXPECT_EQ(FormatRecordLine(Record(kMarch13, {16777217, 23456789, 99999999.99, 9999999.99,
                                               1234567891, 12345678.91}),
                             6, ','),
            "2007/03/13,16777217,23456789,99999999.99,9999999.99,1234567891,12345678.91\r\n");
}

// Each value as "%.10g" prints it rounded to hundredths, one at a time.
std::string PrintfLine(const QuoteRecord& record) {
  std::string line = "2007/03/13";
  for (const double value : record.values) {
    char text[64];
    std::snprintf(text, sizeof text, ",%.10g", std::floor(value * 100.0 + 0.5) * 0.01);
    line += text;
  }
  return line + "\r\n";
}

TEST(OutputLine, ValuesPrintAsPrintfDoes) {
  std::vector<double> values = {
      99999999.99,     99999999.994, 99999999.995, 123456789.01, -99999999.99,  16777217, 0.01f,
      0.05f,           0.1f,         0.5f,         0.995f,       -0.005f,       -0.006f,  -0.05f,
      -1.5f,           99999999.0f,  99999999.99f, 100000000.0f, 2147483647.0f, 1e12f,    -3e9f,
      1.17549435e-38f, INFINITY,     -INFINITY,    NAN,          -NAN};
  std::mt19937 random(20070313);
  for (int i = 0; i < 20000; ++i) {
    // Whole prices, tick steps, volumes and arbitrary fractions across magnitudes.
    const double magnitude = std::pow(10.0, static_cast<double>(random() % 12) - 3);
    const double unit = std::uniform_real_distribution<double>(-1.0, 1.0)(random);
    switch (i % 4) {
      case 0:
        values.push_back(std::round(unit * magnitude));
        break;
      case 1:
        values.push_back(std::round(unit * magnitude * 2) / 2);
        break;
      case 2:
        values.push_back(std::round(unit * magnitude * 100) / 100);
        break;
      default:
        values.push_back(unit * magnitude);
        break;
    }
  }
  for (std::size_t i = 0; i + 6 <= values.size(); i += 6) {
    const QuoteRecord record = Record(kMarch13, {values[i], values[i + 1], values[i + 2],
                                                 values[i + 3], values[i + 4], values[i + 5]});
    ASSERT_EQ(FormatRecordLine(record, 6, ','), PrintfLine(record)) << "from value " << i;
  }
}

// Lines write their dates without the general formatter; they must match it everywhere
// in the calendar, times of day and dates it does not write as digits included.
TEST(OutputLine, DatesAsTheGeneralFormatterWritesThem) {
  std::vector<SerialDate> dates = {SerialDate::Null(),
                                   SerialDate::Invalid(),
                                   FromCalendar(100, 1, 1),
                                   FromCalendar(9999, 12, 31),
                                   FromCalendar(1899, 12, 30),
                                   FromCalendar(2007, 3, 13, 23, 59, 59),
                                   SerialDate{NAN},
                                   SerialDate{-INFINITY}};
  for (double value = -700000.0; value < 3000000.0; value += 367.25) {
    dates.push_back(SerialDate{value});
  }
  for (const SerialDate date : dates) {
    ASSERT_EQ(FormatRecordLine(Record(date, {}), 0, ','), Format(date, "%Y/%m/%d") + "\r\n")
        << "value " << date.value;
  }
}

TEST(OutputLine, ColumnCountAndDateStatus) {
  const QuoteRecord record = Record(kMarch13, {1, 2, 3, 4, 5, 6});
  EXPECT_EQ(FormatRecordLine(record, 0, ','), "2007/03/13\r\n");
  EXPECT_EQ(FormatRecordLine(record, 2, ','), "2007/03/13,1,2\r\n");
  EXPECT_EQ(FormatRecordLine(record, 9, ','), "2007/03/13,1,2,3,4,5,6\r\n");
  EXPECT_EQ(FormatRecordLine(record, -1, ','), "2007/03/13\r\n");
  EXPECT_EQ(FormatRecordLine(Record(SerialDate::Invalid(), {}), 2, ','),
            "Invalid DateTime,0,0\r\n");
  EXPECT_EQ(FormatRecordLine(Record(SerialDate::Null(), {7}), 1, ','), ",7\r\n");
}

TEST(OutputBackupName, NameWithoutItsFoldersUpToItsLastDot) {
  EXPECT_EQ(BackupPath("1234.csv"), "1234.bak");
  EXPECT_EQ(BackupPath("data.2007.csv"), "data.2007.bak");
  EXPECT_EQ(BackupPath("/tmp/x/prices.csv"), "/tmp/x/prices.bak");
  // A dot in a folder name is not the name's.
  EXPECT_EQ(BackupPath("data.d/prices"), "data.d/prices.bak");
  EXPECT_EQ(BackupPath("dir.v2/results"), "dir.v2/results.bak");
  EXPECT_EQ(BackupPath("./p4"), "./p4.bak");
  EXPECT_EQ(BackupPath("results"), "results.bak");
  EXPECT_EQ(BackupPath("a.b/c.d/e"), "a.b/c.d/e.bak");
  EXPECT_EQ(BackupPath("dir/.csv"), "dir/.bak");
}

class OutputFileTest : public ::testing::Test {
 protected:
  DownloadJob Job(const std::string& name, int columns = 6) {
    DownloadJob job;
    job.outputPath = folder_.Path(name);
    job.columnCount = columns;
    return job;
  }
  std::vector<std::string> Names() const { return SortedNamesForTest(folder_.path()); }

  ScratchFolderForTest folder_;
};

TEST_F(OutputFileTest, WritesEveryLineWithCrLf) {
  DownloadJob job = Job("1234.csv", 2);
  job.records.Append(Record(kMarch13, {1, 2}));
  job.records.Append(Record(kMarch14, {3, 4.5}));
  CapturedStreamForTest messages;
  EXPECT_EQ(WriteFoundOutputForTest(job, messages.get()), 0);
  EXPECT_EQ(ReadFileForTest(job.outputPath), "2007/03/13,1,2\r\n2007/03/14,3,4.5\r\n");
  EXPECT_EQ(messages.Text(), "");
  EXPECT_EQ(Names(), (std::vector<std::string>{"1234.csv"}));
  EXPECT_EQ(fs::status(job.outputPath).permissions() & fs::perms::owner_write,
            fs::perms::owner_write);
}

TEST_F(OutputFileTest, NoRecordsGiveAnEmptyFile) {
  const DownloadJob job = Job("empty.csv");
  EXPECT_TRUE(WriteFoundOutputForTest(job).ok());
  EXPECT_TRUE(fs::exists(job.outputPath));
  EXPECT_EQ(fs::file_size(job.outputPath), 0u);
}

TEST_F(OutputFileTest, PreviousFileBecomesTheBackup) {
  DownloadJob job = Job("data.2007.csv", 1);
  WriteFileForTest(job.outputPath, "old contents\r\n");
  WriteFileForTest(folder_.Path("data.2007.bak"), "older backup\r\n");
  fs::permissions(job.outputPath, fs::perms::owner_read | fs::perms::owner_write);
  job.records.Append(Record(kMarch13, {5}));
  ASSERT_TRUE(WriteFoundOutputForTest(job).ok());
  EXPECT_EQ(ReadFileForTest(job.outputPath), "2007/03/13,5\r\n");
  EXPECT_EQ(ReadFileForTest(folder_.Path("data.2007.bak")), "old contents\r\n");
  EXPECT_EQ(Names(), (std::vector<std::string>{"data.2007.bak", "data.2007.csv"}));
  // The replacement keeps the old file's permissions.
  EXPECT_EQ(fs::status(job.outputPath).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(OutputFileTest, MissingFolderIsReportedWithErrno) {
  DownloadJob job = Job("absent/1234.csv");
  job.records.Append(Record(kMarch13, {1}));
  CapturedStreamForTest messages;
  EXPECT_EQ(WriteFoundOutputForTest(job, messages.get()), ENOENT);
  EXPECT_EQ(messages.Text(),
            "pelmo: cannot write " + job.outputPath + ": No such file or directory\n");
  EXPECT_TRUE(Names().empty());
}

TEST_F(OutputFileTest, FileWhereAFolderIsExpected) {
  WriteFileForTest(folder_.Path("plain"), "x");
  const DownloadJob job = Job("plain/1234.csv");
  const Result result = WriteFoundOutputForTest(job);
  EXPECT_EQ(result.code, ENOTDIR);
  EXPECT_EQ(ReadFileForTest(folder_.Path("plain")), "x");
}

// Runs `body` with the file size limit lowered, so that writing fails as on a full disk.
template <typename Body>
void WithFileSizeLimit(rlim_t limit, Body body) {
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit lowered = saved;
  lowered.rlim_cur = limit;
  // Past the limit the kernel raises SIGXFSZ; ignored, the write fails with EFBIG.
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
  body();
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);
}

TEST_F(OutputFileTest, FailedWriteLeavesTheOldFileAndNoBackup) {
  DownloadJob job = Job("1234.csv");
  const std::string old = "2007/03/12,1,2,3,4,5,6\r\n";
  WriteFileForTest(job.outputPath, old);
  for (int day = 1; day <= 28; ++day) {
    job.records.Append(Record(FromCalendar(2007, 2, day), {1, 2, 3, 4, 5, 6}));
  }
  int exitCode = 0;
  CapturedStreamForTest messages;
  WithFileSizeLimit(100, [&] { exitCode = WriteFoundOutputForTest(job, messages.get()); });
  EXPECT_EQ(exitCode, EFBIG);
  EXPECT_EQ(messages.Text(), "pelmo: cannot write " + job.outputPath + ": File too large\n");
  EXPECT_EQ(ReadFileForTest(job.outputPath), old);
  EXPECT_EQ(Names(), (std::vector<std::string>{"1234.csv"}));
}

TEST_F(OutputFileTest, FailedCreationLeavesTheOldFile) {
  DownloadJob job = Job("1234.csv");
  WriteFileForTest(job.outputPath, "old\r\n");
  job.records.Append(Record(kMarch13, {1}));
  // With no file descriptor left, even root cannot create the temporary file.
  const int lowestFree = dup(0);
  ASSERT_GE(lowestFree, 0);
  close(lowestFree);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit lowered = saved;
  lowered.rlim_cur = static_cast<rlim_t>(lowestFree);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
  const Result result = WriteFoundOutputForTest(job);
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(result.code, EMFILE);
  EXPECT_EQ(result.subject, job.outputPath);
  EXPECT_EQ(ReadFileForTest(job.outputPath), "old\r\n");
  EXPECT_EQ(Names(), (std::vector<std::string>{"1234.csv"}));
}

// The new file is in place when the backup's name turns out to be taken by a folder: the
// old file goes back to the output path.
TEST_F(OutputFileTest, BackupThatCannotTakeItsNamePutsTheOldFileBack) {
  fs::create_directories(folder_.path() / "prices.bak" / "keep");
  DownloadJob job = Job("prices", 1);
  WriteFileForTest(job.outputPath, "old\r\n");
  job.records.Append(Record(kMarch13, {1}));
  CapturedStreamForTest messages;
  const int exitCode = WriteFoundOutputForTest(job, messages.get());
  EXPECT_EQ(exitCode, EISDIR);
  EXPECT_EQ(messages.Text(),
            "pelmo: cannot write " + folder_.Path("prices.bak") + ": Is a directory\n");
  EXPECT_EQ(ReadFileForTest(job.outputPath), "old\r\n");
  EXPECT_EQ(Names(), (std::vector<std::string>{"prices", "prices.bak"}));
  EXPECT_TRUE(fs::exists(folder_.path() / "prices.bak" / "keep"));
}

}  // namespace
}  // namespace pelmo
