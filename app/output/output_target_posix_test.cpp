#include "app/output/output_target.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/output/output_file.h"
#include "app/tests/output_target_for_test.h"
#include "app/tests/test_support_for_test.h"

namespace pelmo {
namespace {

namespace fs = std::filesystem;

const std::string kNewLines = "2007/03/13,1,2\r\n2007/03/14,3,4.5\r\n";

class OutputTargetTest : public ::testing::Test {
 protected:
  DownloadJob Job(const std::string& outputPath) const {
    DownloadJob job;
    job.outputPath = outputPath;
    job.columnCount = 2;
    job.records.Append({FromCalendar(2007, 3, 13), {1, 2}});
    job.records.Append({FromCalendar(2007, 3, 14), {3, 4.5}});
    return job;
  }
  std::vector<std::string> Names(const fs::path& folder) const {
    return SortedNamesForTest(folder);
  }
  std::string Message(const Result& result) const {
    CapturedStreamForTest messages;
    ReportFailure(messages.get(), result);
    return messages.Text();
  }

  ScratchFolderForTest folder_;
};

// The target of the link is read, replaced and backed up in its own folder; the link stays.
TEST_F(OutputTargetTest, SymbolicLinkIsFollowedAndStays) {
  fs::create_directories(folder_.path() / "store");
  WriteFileForTest(folder_.Path("store/prices.csv"), "old\r\n");
  fs::create_symlink("store/prices.csv", folder_.path() / "link.csv");
  fs::create_symlink("link.csv", folder_.path() / "link2");
  const std::string path = folder_.Path("link2");
  OutputTarget target;
  ASSERT_TRUE(OutputTarget::Open(path, target).ok());
  EXPECT_EQ(target.kind(), OutputKind::RegularFile);
  EXPECT_EQ(target.filePath(), folder_.Path("store/prices.csv"));
  ASSERT_TRUE(WriteOutputFile(Job(path), target).ok());
  EXPECT_TRUE(fs::is_symlink(folder_.path() / "link2"));
  EXPECT_TRUE(fs::is_symlink(folder_.path() / "link.csv"));
  EXPECT_EQ(ReadFileForTest(path), kNewLines);
  EXPECT_EQ(ReadFileForTest(folder_.Path("store/prices.bak")), "old\r\n");
  EXPECT_EQ(Names(folder_.path()), (std::vector<std::string>{"link.csv", "link2", "store"}));
  EXPECT_EQ(Names(folder_.path() / "store"),
            (std::vector<std::string>{"prices.bak", "prices.csv"}));
}

TEST_F(OutputTargetTest, DanglingLinkGetsItsFileCreated) {
  fs::create_symlink("made.csv", folder_.path() / "link.csv");
  ASSERT_TRUE(WriteFoundOutputForTest(Job(folder_.Path("link.csv"))).ok());
  EXPECT_TRUE(fs::is_symlink(folder_.path() / "link.csv"));
  EXPECT_EQ(ReadFileForTest(folder_.Path("made.csv")), kNewLines);
}

// A pipe is neither read when found (that would wait for a writer) nor replaced.
TEST_F(OutputTargetTest, PipeIsWrittenStraightThrough) {
  const std::string path = folder_.Path("pipe");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  OutputTarget target;
  ASSERT_TRUE(OutputTarget::Open(path, target).ok());
  EXPECT_EQ(target.kind(), OutputKind::Stream);
  std::string received;
  std::thread reader([&] {
    const int fd = ::open(path.c_str(), O_RDONLY);
    char buffer[256];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) {
      received.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
  });
  const Result result = WriteOutputFile(Job(path), target);
  reader.join();
  EXPECT_TRUE(result.ok()) << result.code;
  EXPECT_EQ(received, kNewLines);
  EXPECT_TRUE(fs::is_fifo(path));
  EXPECT_EQ(Names(folder_.path()), (std::vector<std::string>{"pipe"}));
}

// Devices reached through links in the test folder, so that a faulty writer could only
// replace the links.
TEST_F(OutputTargetTest, DevicesAreWrittenStraightThrough) {
  fs::create_symlink("/dev/null", folder_.path() / "null");
  fs::create_symlink("/dev/full", folder_.path() / "full");
  EXPECT_TRUE(WriteFoundOutputForTest(Job(folder_.Path("null"))).ok());
  const Result full = WriteFoundOutputForTest(Job(folder_.Path("full")));
  EXPECT_EQ(ExitCode(full), ENOSPC);
  EXPECT_EQ(Message(full),
            "pelmo: cannot write " + folder_.Path("full") + ": No space left on device\n");
  EXPECT_TRUE(fs::is_symlink(folder_.path() / "null"));
  EXPECT_TRUE(fs::is_symlink(folder_.path() / "full"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_EQ(Names(folder_.path()), (std::vector<std::string>{"full", "null"}));
}

// As /dev/stdout does: a link to one of the process's descriptors, here on a regular file
// that a shell opened with >>. It is appended to, not replaced.
TEST_F(OutputTargetTest, OwnDescriptorIsWrittenStraightThrough) {
  const std::string captured = folder_.Path("captured");
  WriteFileForTest(captured, "before\r\n");
  const int fd = ::open(captured.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(fd, 0);
  fs::create_symlink("/proc/self/fd/" + std::to_string(fd), folder_.path() / "out");
  struct stat before {
  }, after{};
  ASSERT_EQ(::stat(captured.c_str(), &before), 0);
  const Result result = WriteFoundOutputForTest(Job(folder_.Path("out")));
  // The same descriptor by the folder link that /dev/fd is.
  const Result again = WriteFoundOutputForTest(Job("/dev/fd/" + std::to_string(fd)));
  ::close(fd);
  EXPECT_TRUE(result.ok()) << result.code;
  EXPECT_TRUE(again.ok()) << again.code;
  EXPECT_EQ(ReadFileForTest(captured), "before\r\n" + kNewLines + kNewLines);
  ASSERT_EQ(::stat(captured.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_TRUE(fs::is_symlink(folder_.path() / "out"));
  EXPECT_EQ(Names(folder_.path()), (std::vector<std::string>{"captured", "out"}));
}

TEST_F(OutputTargetTest, FolderIsRefusedBeforeAnything) {
  fs::create_directories(folder_.path() / "prices.csv");
  OutputTarget target;
  const Result result = OutputTarget::Open(folder_.Path("prices.csv"), target);
  EXPECT_EQ(ExitCode(result), EISDIR);
  EXPECT_EQ(Message(result),
            "pelmo: cannot write " + folder_.Path("prices.csv") + ": Is a directory\n");
}

// Two runs on one file: the second is told so at once and the first goes on.
TEST_F(OutputTargetTest, SecondRunOnTheSameFileIsRefused) {
  const std::string path = folder_.Path("prices.csv");
  WriteFileForTest(path, "old\r\n");
  fs::create_symlink("prices.csv", folder_.path() / "alias.csv");
  OutputTarget first;
  ASSERT_TRUE(OutputTarget::Open(path, first).ok());
  OutputTarget second;
  const Result refused = OutputTarget::Open(folder_.Path("alias.csv"), second);
  EXPECT_EQ(ExitCode(refused), kExitTemporaryFailure);
  EXPECT_EQ(Message(refused), "pelmo: cannot write " + folder_.Path("alias.csv") +
                                  ": in use by another run of pelmo\n");
  ASSERT_TRUE(WriteOutputFile(Job(path), first).ok());
  EXPECT_EQ(ReadFileForTest(path), kNewLines);
  // The lock was on the file now at the backup name; the new file is free.
  first = OutputTarget();
  EXPECT_TRUE(OutputTarget::Open(path, second).ok());
}

// What another program wrote during the run stays; the run ends with a conflict.
TEST_F(OutputTargetTest, FileChangedDuringTheRunIsNotOverwritten) {
  const std::string path = folder_.Path("prices.csv");
  struct Change {
    const char* what;
    void (*apply)(const std::string& path);
  };
  const Change changes[] = {
      {"rewritten", [](const std::string& p) { WriteFileForTest(p, "other contents\r\n"); }},
      {"same size, later time",
       [](const std::string& p) {
         WriteFileForTest(p, "new\r\n");
         fs::last_write_time(p, fs::last_write_time(p) + std::chrono::seconds(5));
       }},
      {"replaced",
       [](const std::string& p) {
         WriteFileForTest(p + ".tmp", "old\r\n");
         fs::rename(p + ".tmp", p);
       }},
      {"removed", [](const std::string& p) { fs::remove(p); }},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    fs::remove(path);
    fs::remove(folder_.Path("prices.bak"));
    WriteFileForTest(path, "old\r\n");
    OutputTarget target;
    ASSERT_TRUE(OutputTarget::Open(path, target).ok());
    change.apply(path);
    const std::string after = ReadFileForTest(path);
    const Result result = WriteOutputFile(Job(path), target);
    EXPECT_EQ(ExitCode(result), kExitTemporaryFailure);
    EXPECT_EQ(Message(result),
              "pelmo: cannot write " + path + ": changed by another program during this run\n");
    EXPECT_EQ(ReadFileForTest(path), after);
    EXPECT_FALSE(fs::exists(folder_.Path("prices.bak")));
  }
}

TEST_F(OutputTargetTest, FileCreatedDuringTheRunIsNotOverwritten) {
  const std::string path = folder_.Path("prices.csv");
  OutputTarget target;
  ASSERT_TRUE(OutputTarget::Open(path, target).ok());
  EXPECT_EQ(target.kind(), OutputKind::Absent);
  WriteFileForTest(path, "theirs\r\n");
  const Result result = WriteOutputFile(Job(path), target);
  EXPECT_EQ(ExitCode(result), kExitTemporaryFailure);
  EXPECT_EQ(ReadFileForTest(path), "theirs\r\n");
  EXPECT_EQ(Names(folder_.path()), (std::vector<std::string>{"prices.csv"}));
}

}  // namespace
}  // namespace pelmo
