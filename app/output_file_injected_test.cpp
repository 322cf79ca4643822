// The output file's system calls failing one at a time: whichever call fails, the run
// reports it with its errno, and the old file, the old backup and the folder are as before.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/output_file.h"
#include "app/test_support_for_test.h"

namespace pelmo {
namespace {

namespace fs = std::filesystem;

enum class Call { Write, Sync, Close, Rename, Link, LinkUnnamed };

const char* Name(Call call) {
  switch (call) {
    case Call::Write:
      return "write";
    case Call::Sync:
      return "fsync";
    case Call::Close:
      return "close";
    case Call::Rename:
      return "rename";
    case Call::Link:
      return "link";
    case Call::LinkUnnamed:
      return "linkat";
  }
  return "?";
}

// The real calls, except that the nth call of one kind fails with `error`; optionally a
// file system without unnamed files or without hard links.
class FailingFileSystemForTest : public FileSystem {
 public:
  FailingFileSystemForTest(Call call, int nth, int error, bool unnamed, bool hardLinks)
      : call_(call), nth_(nth), error_(error), unnamed_(unnamed), hardLinks_(hardLinks) {}

  int Write(int fd, std::string_view data) const override {
    return Fail(Call::Write) ? error_ : FileSystem::Write(fd, data);
  }
  int Sync(int fd) const override { return Fail(Call::Sync) ? error_ : FileSystem::Sync(fd); }
  int Close(int fd) const override {
    // The descriptor is released whatever close answers.
    const int closed = FileSystem::Close(fd);
    return Fail(Call::Close) ? error_ : closed;
  }
  int Rename(const std::string& from, const std::string& to) const override {
    return Fail(Call::Rename) ? error_ : FileSystem::Rename(from, to);
  }
  int Link(const std::string& from, const std::string& to) const override {
    if (!hardLinks_) {
      return EPERM;
    }
    return Fail(Call::Link) ? error_ : FileSystem::Link(from, to);
  }
  int LinkUnnamed(int fd, const std::string& to) const override {
    return Fail(Call::LinkUnnamed) ? error_ : FileSystem::LinkUnnamed(fd, to);
  }
  int CreateUnnamed(const std::string& folder, mode_t mode, int& fd) const override {
    return unnamed_ ? FileSystem::CreateUnnamed(folder, mode, fd) : EOPNOTSUPP;
  }

  bool failed() const { return failed_; }

 private:
  bool Fail(Call call) const {
    if (call != call_ || ++count_ != nth_) {
      return false;
    }
    failed_ = true;
    return true;
  }

  Call call_;
  int nth_;
  int error_;
  bool unnamed_;
  bool hardLinks_;
  mutable int count_ = 0;
  mutable bool failed_ = false;
};

const std::string kOld = "2007/03/12,9,9\r\n";
const std::string kOldBackup = "2007/03/11,8,8\r\n";

class InjectedFailureTest : public ::testing::Test {
 protected:
  void SetUp() override { savedMask_ = ::umask(077); }
  void TearDown() override { ::umask(savedMask_); }

  DownloadJob Job() const {
    DownloadJob job;
    job.outputPath = folder_.Path("1234.csv");
    job.columnCount = 2;
    // More than one buffer of lines, so that the file takes several writes.
    for (int day = 0; day < 6000; ++day) {
      job.records.Append({AddDays(FromCalendar(2000, 1, 1), day), {1, 2}});
    }
    return job;
  }
  // The old file (with permissions the umask would not give) and its backup, or nothing.
  void Reset(bool old) {
    for (const auto& entry : fs::directory_iterator(folder_.path())) {
      fs::remove(entry.path());
    }
    if (old) {
      WriteFileForTest(folder_.Path("1234.csv"), kOld);
      fs::permissions(folder_.Path("1234.csv"), kOldMode);
      WriteFileForTest(folder_.Path("1234.bak"), kOldBackup);
    }
  }
  std::vector<std::string> Names() const { return SortedNamesForTest(folder_.path()); }

  // Fails each call of `call` in turn, on each file system kind and with and without an
  // old file. Returns how many such calls replacing an old file made, with unnamed files
  // and hard links (as on most local file systems), when none failed.
  int FailEachInTurn(Call call, int error) {
    int usual = 0;
    for (const bool old : {true, false}) {
      for (const bool unnamed : {true, false}) {
        for (const bool hardLinks : {true, false}) {
          const int calls = FailEachInTurn(call, error, old, unnamed, hardLinks);
          usual = old && unnamed && hardLinks ? calls : usual;
        }
      }
    }
    return usual;
  }

  int FailEachInTurn(Call call, int error, bool old, bool unnamed, bool hardLinks) {
    const DownloadJob job = Job();
    for (int nth = 1;; ++nth) {
      SCOPED_TRACE(std::string(Name(call)) + " #" + std::to_string(nth) + " fails with " +
                   std::strerror(error) + (old ? ", old file" : ", no old file") +
                   (unnamed ? ", unnamed" : ", named") + (hardLinks ? ", hard links" : ", copies"));
      Reset(old);
      OutputTarget target;
      if (!OutputTarget::Open(job.outputPath, target).ok()) {
        ADD_FAILURE() << "cannot open the target";
        return 0;
      }
      const FailingFileSystemForTest files(call, nth, error, unnamed, hardLinks);
      const Result result = WriteOutputFile(job, target, files);
      target = OutputTarget();
      if (!files.failed()) {
        EXPECT_TRUE(result.ok()) << std::strerror(result.code);
        CheckWritten(old);
        return nth - 1;
      }
      EXPECT_EQ(ExitCode(result), error);
      CapturedStreamForTest messages;
      ReportFailure(messages.get(), result);
      EXPECT_TRUE(result.subject == job.outputPath || result.subject == folder_.Path("1234.bak"))
          << result.subject;
      EXPECT_EQ(messages.Text(),
                "pelmo: cannot write " + result.subject + ": " + std::strerror(error) + "\n");
      if (old) {
        EXPECT_EQ(ReadFileForTest(folder_.Path("1234.csv")), kOld);
        EXPECT_EQ(fs::status(folder_.Path("1234.csv")).permissions(), kOldMode);
        EXPECT_EQ(ReadFileForTest(folder_.Path("1234.bak")), kOldBackup);
        EXPECT_EQ(Names(), (std::vector<std::string>{"1234.bak", "1234.csv"}));
      } else {
        EXPECT_EQ(Names(), std::vector<std::string>{});
      }
    }
  }

  void CheckWritten(bool old) {
    EXPECT_EQ(fs::file_size(folder_.Path("1234.csv")), 6000u * 16u);
    if (old) {
      EXPECT_EQ(ReadFileForTest(folder_.Path("1234.bak")), kOld);
      // Copied or linked, the backup keeps the old file's permissions, and so does the
      // new file.
      EXPECT_EQ(fs::status(folder_.Path("1234.bak")).permissions(), kOldMode);
      EXPECT_EQ(fs::status(folder_.Path("1234.csv")).permissions(), kOldMode);
      EXPECT_EQ(Names(), (std::vector<std::string>{"1234.bak", "1234.csv"}));
    } else {
      EXPECT_EQ(Names(), std::vector<std::string>{"1234.csv"});
    }
  }

  static constexpr fs::perms kOldMode = fs::perms::owner_read | fs::perms::owner_write |
                                        fs::perms::group_read | fs::perms::group_write |
                                        fs::perms::others_read;
  ScratchFolderForTest folder_;
  mode_t savedMask_ = 0;
};

constexpr int kErrors[] = {EIO, ENOSPC, EDQUOT};

// The counts say which calls a correct write makes: a missing flush or an unchecked close
// would show as a run that no failure can stop.
TEST_F(InjectedFailureTest, WriteFails) {
  for (const int error : kErrors) {
    EXPECT_GE(FailEachInTurn(Call::Write, error), 2);
  }
}

TEST_F(InjectedFailureTest, SyncOfTheNewFileFails) {
  for (const int error : kErrors) {
    EXPECT_EQ(FailEachInTurn(Call::Sync, error), 1);
  }
}

TEST_F(InjectedFailureTest, CloseOfTheNewFileFails) {
  for (const int error : kErrors) {
    EXPECT_EQ(FailEachInTurn(Call::Close, error), 1);
  }
}

// The first rename puts the new file in place, the second the backup; when the second
// fails, the old file goes back.
TEST_F(InjectedFailureTest, RenameFails) {
  for (const int error : kErrors) {
    EXPECT_EQ(FailEachInTurn(Call::Rename, error), 2);
  }
}

TEST_F(InjectedFailureTest, LinkFails) {
  for (const int error : kErrors) {
    EXPECT_EQ(FailEachInTurn(Call::Link, error), 1);
    EXPECT_EQ(FailEachInTurn(Call::LinkUnnamed, error), 1);
  }
}

}  // namespace
}  // namespace pelmo
