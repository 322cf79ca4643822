// The output file's system calls failing one at a time, against this system's FileSystem
// (POSIX, or Windows under Wine): whichever call fails, the run reports it with the
// system's code, and the old file, the old backup and the folder are as before.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/output/output_file.h"
#include "app/tests/output_file_injected_for_test.h"
#include "app/tests/test_support_for_test.h"
#include "platform/platform.h"

namespace pelmo {
namespace {

namespace fs = std::filesystem;

enum class Call { Write, Sync, Close, Rename, Link, LinkUnnamed, Copy, SyncFolder };

const char* Name(Call call) {
  switch (call) {
    case Call::Write:
      return "write";
    case Call::Sync:
      return "sync";
    case Call::Close:
      return "close";
    case Call::Rename:
      return "rename";
    case Call::Link:
      return "link";
    case Call::LinkUnnamed:
      return "link of the unnamed file";
    case Call::Copy:
      return "copy";
    case Call::SyncFolder:
      return "sync of the folder";
  }
  return "?";
}

// The real calls, except that the nth call of one kind fails with `error`; optionally a
// file system without unnamed files or without hard links.
class FailingFileSystemForTest : public FileSystem {
 public:
  FailingFileSystemForTest(Call call, int nth, int error, bool unnamed, bool hardLinks)
      : call_(call), nth_(nth), error_(error), unnamed_(unnamed), hardLinks_(hardLinks) {}

  int Write(NativeFile file, std::string_view data) const override {
    return Fail(Call::Write) ? error_ : FileSystem::Write(file, data);
  }
  int Sync(NativeFile file) const override {
    return Fail(Call::Sync) ? error_ : FileSystem::Sync(file);
  }
  int Close(NativeFile file) const override {
    // The file is closed whatever close answers.
    const int closed = FileSystem::Close(file);
    return Fail(Call::Close) ? error_ : closed;
  }
  int Rename(const std::string& from, const std::string& to) const override {
    return Fail(Call::Rename) ? error_ : FileSystem::Rename(from, to);
  }
  int Link(const std::string& from, const std::string& to) const override {
    if (!hardLinks_) {
      return ThisSystemForTest().noHardLinks;
    }
    return Fail(Call::Link) ? error_ : FileSystem::Link(from, to);
  }
  int LinkUnnamed(NativeFile file, const std::string& to) const override {
    return Fail(Call::LinkUnnamed) ? error_ : FileSystem::LinkUnnamed(file, to);
  }
  int CreateUnnamed(const std::string& folder, mode_t mode, NativeFile& file) const override {
    return unnamed_ ? FileSystem::CreateUnnamed(folder, mode, file)
                    : ThisSystemForTest().noUnnamedFiles;
  }
  int Copy(const std::string& from, const std::string& to) const override {
    return Fail(Call::Copy) ? error_ : FileSystem::Copy(from, to);
  }
  int SyncFolder(const std::string& folder) const override {
    folders_.push_back(folder);
    listings_.push_back(SortedNamesForTest(folder));
    return Fail(Call::SyncFolder) ? error_ : FileSystem::SyncFolder(folder);
  }

  bool failed() const { return failed_; }
  // The folders synced, in order.
  const std::vector<std::string>& folders() const { return folders_; }
  // The names in each folder when it was synced.
  const std::vector<std::vector<std::string>>& listings() const { return listings_; }

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
  mutable std::vector<std::string> folders_;
  mutable std::vector<std::vector<std::string>> listings_;
};

const std::string kOld = "2007/03/12,9,9\r\n";
const std::string kOldBackup = "2007/03/11,8,8\r\n";
constexpr auto kOldMode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                          fs::perms::group_write | fs::perms::others_read;

// A file system kind the matrix runs on: whether it has unnamed files and hard links.
struct Kind {
  bool unnamed = false;
  bool hardLinks = false;
};

std::string JoinedForTest(const std::vector<std::vector<std::string>>& listings) {
  std::string text;
  for (const auto& names : listings) {
    for (const std::string& name : names) {
      text += name + " ";
    }
    text += "/ ";
  }
  return text;
}

// Whether the output (and the backup, with `backup`) have their names and no temporary of pelmo's
// is left (under Wine, a replaced file that a handle still holds lingers under a name of Wine's).
bool HasOnlyFinalNames(const std::vector<std::string>& names, bool backup) {
  const auto has = [&](const char* name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  return has("1234.csv") && has("1234.bak") == backup &&
         std::none_of(names.begin(), names.end(),
                      [](const std::string& name) { return name.starts_with(".pelmo-"); });
}

class InjectedFailureTest : public ::testing::Test {
 protected:
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
  // The old file (with permissions the default would not give) and its backup, or nothing.
  void Reset(bool old) {
    for (const auto& entry : fs::directory_iterator(folder_.path())) {
      fs::remove(entry.path());
    }
    if (old) {
      WriteFileForTest(folder_.Path("1234.csv"), kOld);
      WriteFileForTest(folder_.Path("1234.bak"), kOldBackup);
      if (ThisSystemForTest().permissions) {
        fs::permissions(folder_.Path("1234.csv"), kOldMode);
      }
    }
  }
  std::vector<std::string> Names() const { return SortedNamesForTest(folder_.path()); }

  static std::vector<Kind> Kinds() {
    std::vector<Kind> kinds;
    for (const bool unnamed : {true, false}) {
      if (unnamed && !ThisSystemForTest().unnamedFiles) {
        continue;
      }
      for (const bool hardLinks : {true, false}) {
        kinds.push_back({unnamed, hardLinks});
      }
    }
    return kinds;
  }

  // Fails each call of `call` in turn, on each file system kind and with and without an
  // old file. Returns how many such calls replacing an old file made when none failed, on
  // the system's usual kind (unnamed files where it has them) with hard links or, with
  // `copies`, without.
  int FailEachInTurn(Call call, int error, bool copies = false) {
    int usual = 0;
    for (const bool old : {true, false}) {
      for (const Kind kind : Kinds()) {
        const int calls = FailEachInTurn(call, error, old, kind);
        const bool isUsual =
            old && kind.unnamed == ThisSystemForTest().unnamedFiles && kind.hardLinks == !copies;
        usual = isUsual ? calls : usual;
      }
    }
    return usual;
  }

  int FailEachInTurn(Call call, int error, bool old, Kind kind) {
    const DownloadJob job = Job();
    for (int nth = 1;; ++nth) {
      SCOPED_TRACE(std::string(Name(call)) + " #" + std::to_string(nth) + " fails with " +
                   SystemErrorText(error) + (old ? ", old file" : ", no old file") +
                   (kind.unnamed ? ", unnamed" : ", named") +
                   (kind.hardLinks ? ", hard links" : ", copies"));
      Reset(old);
      OutputTarget target;
      if (!OutputTarget::Open(job.outputPath, target).ok()) {
        ADD_FAILURE() << "cannot open the target";
        return 0;
      }
      const FailingFileSystemForTest files(call, nth, error, kind.unnamed, kind.hardLinks);
      const Result result = WriteOutputFile(job, target, files);
      target = OutputTarget();
      if (!files.failed()) {
        EXPECT_TRUE(result.ok()) << SystemErrorText(result.code);
        CheckWritten(old);
        return nth - 1;
      }
      CheckFailed(job, result, error, old);
    }
  }

  void CheckFailed(const DownloadJob& job, const Result& result, int error, bool old) {
    EXPECT_EQ(ExitCode(result), error);
    CapturedStreamForTest messages;
    ReportFailure(messages.get(), result);
    EXPECT_TRUE(result.subject == job.outputPath || result.subject == folder_.Path("1234.bak"))
        << result.subject;
    EXPECT_EQ(messages.Text(),
              "pelmo: cannot write " + result.subject + ": " + SystemErrorText(error) + "\n");
    if (old) {
      EXPECT_EQ(ReadFileForTest(folder_.Path("1234.csv")), kOld);
      CheckOldMode("1234.csv");
      EXPECT_EQ(ReadFileForTest(folder_.Path("1234.bak")), kOldBackup);
      EXPECT_EQ(Names(), (std::vector<std::string>{"1234.bak", "1234.csv"}));
    } else {
      EXPECT_EQ(Names(), std::vector<std::string>{});
    }
  }

  void CheckWritten(bool old) {
    EXPECT_EQ(fs::file_size(folder_.Path("1234.csv")), 6000u * 16u);
    if (old) {
      EXPECT_EQ(ReadFileForTest(folder_.Path("1234.bak")), kOld);
      // Copied or linked, the backup keeps the old file's permissions, and so does the
      // new file.
      CheckOldMode("1234.bak");
      CheckOldMode("1234.csv");
      EXPECT_EQ(Names(), (std::vector<std::string>{"1234.bak", "1234.csv"}));
    } else {
      EXPECT_EQ(Names(), std::vector<std::string>{"1234.csv"});
    }
  }

  void CheckOldMode(const std::string& name) const {
    if (ThisSystemForTest().permissions) {
      EXPECT_EQ(fs::status(folder_.Path(name)).permissions(), kOldMode) << name;
    }
  }

  const RestrictiveDefaultPermissionsForTest restrictive_;
  ScratchFolderForTest folder_;
};

// The counts say which calls a correct write makes: a missing flush or an unchecked close
// would show as a run that no failure can stop.
TEST_F(InjectedFailureTest, WriteFails) {
  for (const int error : ThisSystemForTest().writeErrors) {
    EXPECT_GE(FailEachInTurn(Call::Write, error), 2);
  }
}

TEST_F(InjectedFailureTest, SyncOfTheNewFileFails) {
  for (const int error : ThisSystemForTest().writeErrors) {
    EXPECT_EQ(FailEachInTurn(Call::Sync, error), 1);
  }
}

TEST_F(InjectedFailureTest, CloseOfTheNewFileFails) {
  for (const int error : ThisSystemForTest().writeErrors) {
    EXPECT_EQ(FailEachInTurn(Call::Close, error), 1);
  }
}

// The first rename puts the new file in place, the second the backup; when the second
// fails, the old file goes back.
TEST_F(InjectedFailureTest, RenameFails) {
  for (const int error : ThisSystemForTest().writeErrors) {
    EXPECT_EQ(FailEachInTurn(Call::Rename, error), 2);
  }
}

TEST_F(InjectedFailureTest, LinkFails) {
  for (const int error : ThisSystemForTest().writeErrors) {
    EXPECT_EQ(FailEachInTurn(Call::Link, error), 1);
    EXPECT_EQ(FailEachInTurn(Call::LinkUnnamed, error), ThisSystemForTest().unnamedFiles ? 1 : 0);
  }
}

// Where the file system has no hard links, the backup is a copy.
TEST_F(InjectedFailureTest, BackupCopyFails) {
  for (const int error : ThisSystemForTest().writeErrors) {
    EXPECT_EQ(FailEachInTurn(Call::Copy, error, true), 1);
  }
}

// The folder is synced once, after the new file and the backup have their names; a folder
// that cannot be synced loses nothing already done, so its failure is no failed run.
TEST_F(InjectedFailureTest, FolderIsSyncedAfterTheRenames) {
  const DownloadJob job = Job();
  for (const bool old : {true, false}) {
    for (const Kind kind : Kinds()) {
      for (const int nth : {0, 1}) {
        SCOPED_TRACE(std::string(old ? "old file" : "no old file") +
                     (kind.unnamed ? ", unnamed" : ", named") +
                     (kind.hardLinks ? ", hard links" : ", copies") +
                     (nth == 1 ? ", folder sync fails" : ""));
        Reset(old);
        OutputTarget target;
        ASSERT_TRUE(OutputTarget::Open(job.outputPath, target).ok());
        const FailingFileSystemForTest files(Call::SyncFolder, nth,
                                             ThisSystemForTest().writeErrors.front(), kind.unnamed,
                                             kind.hardLinks);
        const Result result = WriteOutputFile(job, target, files);
        target = OutputTarget();
        EXPECT_TRUE(result.ok()) << SystemErrorText(result.code);
        EXPECT_EQ(files.failed(), nth == 1);
        const std::string folder = job.outputPath.substr(0, job.outputPath.size() - 8);
        EXPECT_EQ(files.folders(), std::vector<std::string>{folder});
        CheckWritten(old);
        ASSERT_EQ(files.listings().size(), 1u);
        EXPECT_TRUE(HasOnlyFinalNames(files.listings().front(), old))
            << JoinedForTest(files.listings());
      }
    }
  }
}

}  // namespace
}  // namespace pelmo
