#include "app/output/output_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "app/output/existing_file.h"
#include "app/tests/output_target_for_test.h"
#include "app/tests/test_support_for_test.h"
#include "platform/wide_text_win.h"

namespace pelmo {
namespace {

constexpr char kOldText[] = "2007/03/12,1,2\r\n";
constexpr char kNewText[] = "2007/03/13,1001,1010\r\n";

class OutputFileWinTest : public ::testing::Test {
 protected:
  DownloadJob Job(const std::string& name) {
    DownloadJob job;
    job.outputPath = folder_.Path(name);
    job.columnCount = 2;
    job.records.Append({FromCalendar(2007, 3, 13), {1001, 1010}});
    return job;
  }

  // The files in the folder, so that a test sees whatever a failure left behind.
  std::string Listing() const {
    std::string names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
      names += entry.path().filename().string() + " ";
    }
    return names;
  }

  // What the program does: find the target, then write it.
  Result Write(const DownloadJob& job) {
    OutputTarget target;
    if (Result found = OutputTarget::Open(job.outputPath, target); !found.ok()) {
      return found;
    }
    return WriteOutputFile(job, target);
  }

  ScratchFolderForTest folder_;
};

TEST_F(OutputFileWinTest, PreviousFileAndBackupAreReplaced) {
  const DownloadJob job = Job("1234.csv");
  WriteFileForTest(job.outputPath, kOldText);
  WriteFileForTest(folder_.Path("1234.bak"), "an older backup");
  ASSERT_TRUE(Write(job).ok());
  EXPECT_EQ(ReadFileForTest(job.outputPath), kNewText);
  EXPECT_EQ(ReadFileForTest(folder_.Path("1234.bak")), kOldText);
  EXPECT_EQ(Listing(), "1234.bak 1234.csv ");
}

TEST_F(OutputFileWinTest, BackupNameStopsAtABackslash) {
  EXPECT_EQ(BackupPath("data.d\\prices"), "data.d\\prices.bak");
  EXPECT_EQ(BackupPath("C:\\data\\1234.csv"), "C:\\data\\1234.bak");
}

// A spreadsheet program holds the file open without sharing: the run says so before it
// downloads, with the Windows error code, and the file stays as it was.
TEST_F(OutputFileWinTest, FileHeldWithoutSharingIsKept) {
  const DownloadJob job = Job("1234.csv");
  WriteFileForTest(job.outputPath, kOldText);
  const HANDLE held = ::CreateFileW(Widen(job.outputPath).c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const Result result = Write(job);
  ::CloseHandle(held);
  EXPECT_EQ(result.code, ERROR_SHARING_VIOLATION);
  EXPECT_EQ(result.reason, Reason::CannotWrite);
  EXPECT_EQ(ReadFileForTest(job.outputPath), kOldText);
  EXPECT_EQ(Listing(), "1234.csv ");
}

// Held, reading shared but not replacing, after the run found the file: the write fails,
// the file stays as it was, and neither a backup nor a temporary file is left.
TEST_F(OutputFileWinTest, FileHeldAfterItWasFoundIsKept) {
  const DownloadJob job = Job("1234.csv");
  WriteFileForTest(job.outputPath, kOldText);
  OutputTarget target;
  ASSERT_TRUE(OutputTarget::Open(job.outputPath, target).ok());
  const HANDLE held = ::CreateFileW(Widen(job.outputPath).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  // Others can still read the file while the run holds it.
  EXPECT_EQ(ReadFileForTest(job.outputPath), kOldText);
  const Result result = WriteOutputFile(job, target);
  ::CloseHandle(held);
  EXPECT_FALSE(result.ok());
  EXPECT_NE(result.code, 0);
  EXPECT_EQ(ReadFileForTest(job.outputPath), kOldText);
  EXPECT_EQ(Listing(), "1234.csv ");
}

TEST_F(OutputFileWinTest, ReadOnlyFileIsRefusedBeforeWriting) {
  const DownloadJob job = Job("1234.csv");
  WriteFileForTest(job.outputPath, kOldText);
  ASSERT_TRUE(::SetFileAttributesW(Widen(job.outputPath).c_str(), FILE_ATTRIBUTE_READONLY));
  const Result result = Write(job);
  ::SetFileAttributesW(Widen(job.outputPath).c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(result.code, ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadFileForTest(job.outputPath), kOldText);
  EXPECT_EQ(Listing(), "1234.csv ");
}

// Found before the download: a missing folder, a name no file may have, a backup that a
// program holds without sharing or that cannot be replaced. The message names the backup
// where it is the backup that stops the run.
TEST_F(OutputFileWinTest, PathsThatCannotBeWrittenAreRefusedBeforeTheDownload) {
  WriteFileForTest(folder_.Path("held.csv"), kOldText);
  WriteFileForTest(folder_.Path("held.bak"), kOldText);
  WriteFileForTest(folder_.Path("fixed.csv"), kOldText);
  WriteFileForTest(folder_.Path("fixed.bak"), kOldText);
  ASSERT_TRUE(
      ::SetFileAttributesW(Widen(folder_.Path("fixed.bak")).c_str(), FILE_ATTRIBUTE_READONLY));
  const HANDLE held = ::CreateFileW(Widen(folder_.Path("held.bak")).c_str(), GENERIC_READ, 0,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  struct Case {
    std::string name;
    int code;
    std::string subject;
  };
  const Case cases[] = {
      {"absent\\1234.csv", ERROR_PATH_NOT_FOUND, "absent\\1234.csv"},
      {"a?.csv", ERROR_INVALID_NAME, "a?.csv"},
      {"held.csv", ERROR_SHARING_VIOLATION, "held.bak"},
      {"fixed.csv", ERROR_ACCESS_DENIED, "fixed.bak"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OutputTarget target;
    const Result result = OutputTarget::Open(folder_.Path(c.name), target);
    EXPECT_EQ(result.reason, Reason::CannotWrite);
    EXPECT_EQ(result.code, c.code);
    EXPECT_EQ(result.subject, folder_.Path(c.subject));
  }
  ::CloseHandle(held);
  ::SetFileAttributesW(Widen(folder_.Path("fixed.bak")).c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Listing(), "fixed.bak fixed.csv held.bak held.csv ");
}

// The devices every folder has are written straight through, never replaced: NUL takes the
// lines, and no file of that name appears.
TEST_F(OutputFileWinTest, DevicesAreWrittenStraightThrough) {
  for (const std::string name : {"NUL", "nul.csv", "CON", "con.txt", "COM1", "lpt9", "AUX"}) {
    SCOPED_TRACE(name);
    OutputTarget target;
    ASSERT_TRUE(OutputTarget::Open(folder_.Path(name), target).ok());
    EXPECT_EQ(target.kind(), OutputKind::Stream);
  }
  for (const std::string name : {"NULL", "COM0", "COM10", "CONSOLE", "nul\\x.csv"}) {
    SCOPED_TRACE(name);
    OutputTarget target;
    (void)OutputTarget::Open(folder_.Path(name), target);
    EXPECT_NE(target.kind(), OutputKind::Stream);
  }
  const DownloadJob job = Job("NUL");
  EXPECT_TRUE(Write(job).ok());
  EXPECT_EQ(Listing(), "");
}

// A file that appears while the run downloads is another program's: left alone.
TEST_F(OutputFileWinTest, FileMadeDuringTheRunIsLeftAlone) {
  const DownloadJob job = Job("1234.csv");
  OutputTarget target;
  ASSERT_TRUE(OutputTarget::Open(job.outputPath, target).ok());
  WriteFileForTest(job.outputPath, kOldText);
  const Result result = WriteOutputFile(job, target);
  EXPECT_EQ(result.reason, Reason::Changed);
  EXPECT_EQ(ExitCode(result), kExitTemporaryFailure);
  EXPECT_EQ(ReadFileForTest(job.outputPath), kOldText);
  EXPECT_EQ(Listing(), "1234.csv ");
}

TEST_F(OutputFileWinTest, SecondRunOnTheSameFileIsRefused) {
  const DownloadJob job = Job("1234.csv");
  WriteFileForTest(job.outputPath, kOldText);
  OutputTarget first;
  ASSERT_TRUE(OutputTarget::Open(job.outputPath, first).ok());
  OutputTarget second;
  const Result result = OutputTarget::Open(job.outputPath, second);
  EXPECT_EQ(ExitCode(result), kExitTemporaryFailure);
}

// A Japanese folder, as the UTF-8 path the wide command line gives.
TEST_F(OutputFileWinTest, JapaneseFolderNames) {
  std::filesystem::create_directory(folder_.path() / std::filesystem::path(L"\u682a\u4fa1"));
  DownloadJob job = Job("");
  // Joined by hand: std::filesystem would read the UTF-8 name in the ANSI code page.
  job.outputPath = folder_.path().string() + "\\\xE6\xA0\xAA\xE4\xBE\xA1\\1234.csv";
  ASSERT_TRUE(Write(job).ok());
  job.records.Append({FromCalendar(2007, 3, 14), {1, 2}});
  ASSERT_TRUE(Write(job).ok());
  DownloadJob loaded;
  loaded.outputPath = job.outputPath;
  ASSERT_TRUE(ReadFoundOutputForTest(loaded).ok());
  EXPECT_EQ(loaded.records.size(), 2u);
  EXPECT_EQ(std::filesystem::file_size(folder_.path() / std::filesystem::path(L"\u682a\u4fa1") /
                                       "1234.bak"),
            std::string(kNewText).size());
}

}  // namespace
}  // namespace pelmo
