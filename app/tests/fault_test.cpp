// Faults of the service and of the disk, end to end: each run must end with its documented
// message and exit code, and the file an earlier run left, with its backup, must come
// through byte for byte.
#include <sys/mount.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/command_line.h"
#include "app/download/download_driver.h"
#include "app/output/existing_file.h"
#include "app/tests/output_target_for_test.h"
#include "app/tests/page_server_test_util.h"
#include "app/tests/test_process.h"
#include "app/tests/test_support_for_test.h"
#include "net/http_global_init.h"
#include "quote/http_page_source.h"
#include "quote/page_tree.h"

namespace pelmo {
namespace {

namespace fs = std::filesystem;
using testing::Answer;
using testing::PageTestServer;
using testing::ProcessResult;
using testing::ReadFileBytes;
using testing::ServiceDay;
using testing::ServiceRows;
using testing::WriteFileBytes;

// The range of these runs has two windows, newest first.
constexpr const char* kNewerWindow = "2007/02/09-2007/03/31";
constexpr const char* kOlderWindow = "2007/01/01-2007/02/08";
constexpr const char* kNewerTarget = "/t?c=2007&a=2&b=9&";

const std::string kOldFile = "2001/01/04,1,2,3,4,5,6\r\n2001/01/05,7,8,9,10,11,12.5\r\n";
const std::string kOldBackup = "2000/12/28,1,1,1,1,1,1\r\n";

std::string OlderWindowRows() {
  return ServiceRows("8306.t", ServiceDay(2007, 1, 1), ServiceDay(2007, 2, 8));
}

// A tmpfs mounted over a folder, unmounted when the object dies.
class TmpfsMount {
 public:
  TmpfsMount(fs::path path, const std::string& size) : path_(std::move(path)) {
    fs::create_directories(path_);
    const std::string options = "size=" + size;
    error_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) == 0 ? 0 : errno;
  }
  ~TmpfsMount() {
    if (error_ == 0) {
      ::umount2(path_.c_str(), MNT_DETACH);
    }
  }
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;

  int error() const { return error_; }
  // 0 or errno.
  int MakeReadOnly() const {
    return ::mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0 ? 0
                                                                                          : errno;
  }

 private:
  fs::path path_;
  int error_ = 0;
};

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("pelmo-fault-" + std::string(info->name()) + "-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    setenv("no_proxy", "127.0.0.1", 1);
  }
  void TearDown() override {
    mount_.reset();
    fs::remove_all(dir_);
  }

  // Mounts a tmpfs of `size` at `folder` below the test folder; false (and the test is to
  // be skipped) when this machine does not allow it.
  bool MountTmpfs(const std::string& folder, const std::string& size) {
    mount_.emplace(dir_ / folder, size);
    return mount_->error() == 0;
  }

  // The old file and an older backup, at `output` (relative to the test folder).
  void PlaceOldFiles(const std::string& output, const std::string& old = kOldFile) {
    WriteFileBytes(dir_ / output, old);
    WriteFileBytes(dir_ / BackupPath(output), kOldBackup);
  }

  ProcessResult Pelmo(const std::string& host, const std::string& output,
                      const testing::ProcessOptions& options = {}, const fs::path& workDir = {}) {
    return testing::RunProcess({testing::PelmoBinary().string(), "--host", host, "-s", "2007/01/01",
                                "-e", "2007/03/31", "-o", output, "8306"},
                               workDir.empty() ? dir_ : workDir, options);
  }

  // The test folder open to everyone, and the old files owned by `user` with `mode`, for
  // a run as that user: root would read and write them whatever their permissions.
  void PlaceOldFilesOwnedBy(uid_t user, fs::perms mode) {
    PlaceOldFiles("8306.csv");
    fs::permissions(dir_, fs::perms::all);
    for (const char* name : {"8306.csv", "8306.bak"}) {
      ASSERT_EQ(::chown((dir_ / name).c_str(), user, user), 0);
    }
    fs::permissions(dir_ / "8306.csv", mode);
  }

  // Runs the download in this process, with the fetch settings of `options`, on one window
  // (2007/01/01-2007/01/31). Returns the exit code; the messages go to `messages`.
  int RunInProcess(const std::string& host, const HttpFetchOptions& options,
                   const std::string& output, std::string& messages) {
    const HttpGlobalInit http;
    DownloadJob job = NewJob(Now());
    const std::string path = (dir_ / output).string();
    const std::vector<std::string_view> args = {"--host",     host, "-s", "2007/01/01", "-e",
                                                "2007/01/31", "-o", path, "8306"};
    EXPECT_EQ(ParseCommandLine(args, job).action, CommandLineAction::Run);
    OutputTarget target;
    EXPECT_TRUE(OpenOutputForTest(job, target).ok());
    HttpPageSource pages(options);
    std::FILE* sink = std::tmpfile();
    const int exitCode = RunDownload(job, pages, ParseQuotePageTree, sink, target);
    std::rewind(sink);
    char buffer[4096];
    messages.assign(buffer, std::fread(buffer, 1, sizeof buffer, sink));
    std::fclose(sink);
    return exitCode;
  }

  std::vector<std::string> Names(const fs::path& folder) const {
    return SortedNamesForTest(folder);
  }

  fs::path dir_;
  std::optional<TmpfsMount> mount_;
};

// Every window fails; the old rows are written back unchanged and the old file is the
// backup.
// Nothing fetched: the file would get its own bytes again, so it is not written, and the
// older backup is not lost to a copy of it.
TEST_F(FaultTest, ConnectionRefusedKeepsTheFileAndTheOlderBackup) {
  const testing::QuickPausesForTests quickPauses;
  PlaceOldFiles("8306.csv");
  std::string host;
  {
    PageTestServer closed([](const std::string&) { return Answer::Page; });
    host = closed.host();
  }
  const ProcessResult run = Pelmo(host, "8306.csv");
  EXPECT_EQ(run.exitCode, kExitServiceUnavailable);
  EXPECT_EQ(run.err, std::string("pelmo: cannot fetch ") + kNewerWindow +
                         ": connection refused\npelmo: cannot fetch " + kOlderWindow +
                         ": connection refused\n");
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.csv"), kOldFile);
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.bak"), kOldBackup);
}

TEST_F(FaultTest, StatusFiveHundredLosesOneWindowOnly) {
  PlaceOldFiles("8306.csv");
  PageTestServer server([](const std::string& target) {
    return target.starts_with(kNewerTarget) ? Answer::Status500 : Answer::Page;
  });
  const ProcessResult run = Pelmo(server.host(), "8306.csv");
  EXPECT_EQ(run.exitCode, kExitServiceUnavailable);
  EXPECT_EQ(run.err, std::string("pelmo: cannot fetch ") + kNewerWindow + ": HTTP status 500\n");
  // A status is an answer: it is not asked again.
  EXPECT_EQ(server.targets().size(), 2u);
  const std::string older = OlderWindowRows();
  ASSERT_FALSE(older.empty());
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.csv"), kOldFile + older);
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.bak"), kOldFile);
}

TEST_F(FaultTest, ResetHalfwayThroughTheBodyLosesThatWindow) {
  const testing::QuickPausesForTests quickPauses;
  PlaceOldFiles("8306.csv");
  PageTestServer server([](const std::string& target) {
    return target.starts_with(kNewerTarget) ? Answer::ResetHalfway : Answer::Page;
  });
  const ProcessResult run = Pelmo(server.host(), "8306.csv");
  EXPECT_EQ(run.exitCode, kExitServiceUnavailable);
  EXPECT_EQ(run.err, std::string("pelmo: cannot fetch ") + kNewerWindow + ": connection reset\n");
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.csv"), kOldFile + OlderWindowRows());
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.bak"), kOldFile);
}

TEST_F(FaultTest, ServerThatNeverAnswersTimesOut) {
  PlaceOldFiles("8306.csv");
  PageTestServer server([](const std::string&) { return Answer::NeverAnswer; });
  HttpFetchOptions options;
  options.connectTimeout = std::chrono::milliseconds(1000);
  options.stallTimeout = std::chrono::seconds(1);
  options.maxAttempts = 2;
  std::string messages;
  const auto start = std::chrono::steady_clock::now();
  const int exitCode = RunInProcess(server.host(), options, "8306.csv", messages);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(exitCode, kExitServiceUnavailable);
  EXPECT_EQ(messages, "pelmo: cannot fetch 2007/01/01-2007/01/31: timed out\n");
  EXPECT_EQ(server.targets().size(), 2u) << "one request per attempt";
  EXPECT_GE(elapsed, std::chrono::seconds(2));
  EXPECT_LT(elapsed, std::chrono::seconds(10));
  // Nothing new: the same bytes are not written again, so the backup stays as well.
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.csv"), kOldFile);
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.bak"), kOldBackup);
}

TEST_F(FaultTest, BodyOverTheSizeCapIsNotTaken) {
  PlaceOldFiles("8306.csv");
  PageTestServer server([](const std::string&) { return Answer::Page; });
  HttpFetchOptions options;
  options.maxTextBytes = 4096;
  std::string messages;
  const int exitCode = RunInProcess(server.host(), options, "8306.csv", messages);
  EXPECT_EQ(exitCode, kExitServiceUnavailable);
  EXPECT_EQ(messages, "pelmo: cannot fetch 2007/01/01-2007/01/31: page too large\n");
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.csv"), kOldFile);
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.bak"), kOldBackup);
}

// The folder turns read-only while the last window is being fetched, after the old file
// was read and before anything is written.
TEST_F(FaultTest, FolderTurnsReadOnlyBeforeTheWrite) {
  if (!MountTmpfs("ro", "1m")) {
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(mount_->error());
  }
  PlaceOldFiles("ro/8306.csv");
  int remountError = -1;
  PageTestServer server([](const std::string&) { return Answer::Page; }, 8,
                        std::chrono::milliseconds(5),
                        [this, &remountError](const std::string& target) {
                          if (!target.starts_with(kNewerTarget)) {
                            remountError = mount_->MakeReadOnly();
                          }
                        });
  const ProcessResult run = Pelmo(server.host(), "ro/8306.csv");
  ASSERT_EQ(remountError, 0) << std::strerror(remountError);
  EXPECT_EQ(run.exitCode, EROFS);
  EXPECT_EQ(run.err,
            "pelmo: cannot write ro/8306.csv: " + std::string(std::strerror(EROFS)) + "\n");
  EXPECT_EQ(Names(dir_ / "ro"), (std::vector<std::string>{"8306.bak", "8306.csv"}));
  EXPECT_EQ(ReadFileBytes(dir_ / "ro/8306.csv"), kOldFile);
  EXPECT_EQ(ReadFileBytes(dir_ / "ro/8306.bak"), kOldBackup);
}

// The new file does not fit beside the old one: the write fails part way and the partial
// file goes.
TEST_F(FaultTest, DiskFullKeepsTheOldFile) {
  if (!MountTmpfs("full", "256k")) {
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(mount_->error());
  }
  // About 180 KiB of rows from 1960 on, as pelmo writes them.
  std::string old;
  for (int i = 0; old.size() < 180 * 1024; ++i) {
    const QuoteRecord record{AddDays(FromCalendar(1960, 1, 1), i),
                             {static_cast<float>(i), 2.5f, 3, 4, 5, 6}};
    old += FormatRecordLine(record, 6, ',');
  }
  PlaceOldFiles("full/8306.csv", old);
  PageTestServer server([](const std::string&) { return Answer::Page; });
  const ProcessResult run = Pelmo(server.host(), "full/8306.csv");
  EXPECT_EQ(run.exitCode, ENOSPC);
  EXPECT_EQ(run.err,
            "pelmo: cannot write full/8306.csv: " + std::string(std::strerror(ENOSPC)) + "\n");
  EXPECT_EQ(Names(dir_ / "full"), (std::vector<std::string>{"8306.bak", "8306.csv"}));
  EXPECT_TRUE(ReadFileBytes(dir_ / "full/8306.csv") == old) << "the old file changed";
  EXPECT_EQ(ReadFileBytes(dir_ / "full/8306.bak"), kOldBackup);
}

constexpr uid_t kNobody = 65534;

testing::ProcessOptions AsNobody() {
  testing::ProcessOptions options;
  options.user = kNobody;
  return options;
}

// Nothing is requested and nothing changes; the file's mode is put back to compare it.
TEST_F(FaultTest, UnreadableOutputStopsTheRunBeforeAnyRequest) {
  PlaceOldFilesOwnedBy(kNobody, fs::perms::owner_write);
  PageTestServer server([](const std::string&) { return Answer::Page; });
  const ProcessResult run = Pelmo(server.host(), "8306.csv", AsNobody());
  EXPECT_EQ(run.exitCode, EACCES);
  EXPECT_EQ(run.err, "pelmo: cannot read 8306.csv: Permission denied\n");
  EXPECT_TRUE(server.targets().empty());
  EXPECT_EQ(fs::status(dir_ / "8306.csv").permissions(), fs::perms::owner_write);
  fs::permissions(dir_ / "8306.csv", fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.csv"), kOldFile);
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.bak"), kOldBackup);
  EXPECT_EQ(Names(dir_), (std::vector<std::string>{"8306.bak", "8306.csv"}));
}

// A file its user may not write is refused as opening it for writing would refuse it,
// although the folder would let it be replaced.
TEST_F(FaultTest, ReadOnlyOutputIsRefused) {
  PlaceOldFilesOwnedBy(kNobody, fs::perms::owner_read | fs::perms::group_read);
  PageTestServer server([](const std::string&) { return Answer::Page; });
  const ProcessResult run = Pelmo(server.host(), "8306.csv", AsNobody());
  EXPECT_EQ(run.exitCode, EACCES);
  EXPECT_EQ(run.err, "pelmo: cannot write 8306.csv: Permission denied\n");
  EXPECT_TRUE(server.targets().empty());
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.csv"), kOldFile);
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.bak"), kOldBackup);
  EXPECT_EQ(Names(dir_), (std::vector<std::string>{"8306.bak", "8306.csv"}));
}

// What stops the write is known before the download: a missing folder, a path through a
// file, a folder where the backup goes, a folder the user may not write in. Nothing is
// requested and nothing changes.
TEST_F(FaultTest, PathThatCannotBeWrittenStopsTheRunBeforeAnyRequest) {
  PlaceOldFiles("8306.csv");
  fs::create_directories(dir_ / "prices.bak" / "keep");
  WriteFileBytes(dir_ / "prices", kOldFile);
  fs::create_directories(dir_ / "closed");
  fs::permissions(dir_, fs::perms::all);
  fs::permissions(dir_ / "closed", fs::perms::owner_read | fs::perms::owner_exec);
  ASSERT_EQ(::chown((dir_ / "closed").c_str(), kNobody, kNobody), 0);
  struct Case {
    std::string output;
    int exitCode;
    std::string err;
    testing::ProcessOptions options;
  };
  const Case cases[] = {
      {"absent/8306.csv", ENOENT, "absent/8306.csv: No such file or directory", {}},
      {"absent/", ENOENT, "absent/: No such file or directory", {}},
      {"8306.csv/x", ENOTDIR, "8306.csv/x: Not a directory", {}},
      {"8306.csv/", ENOTDIR, "8306.csv/: Not a directory", {}},
      {"prices", EISDIR, "prices.bak: Is a directory", {}},
      {"closed/8306.csv", EACCES, "closed/8306.csv: Permission denied", AsNobody()},
  };
  PageTestServer server([](const std::string&) { return Answer::Page; });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    const ProcessResult run = Pelmo(server.host(), c.output, c.options);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.err, "pelmo: cannot write " + c.err + "\n");
  }
  EXPECT_TRUE(server.targets().empty());
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.csv"), kOldFile);
  EXPECT_EQ(ReadFileBytes(dir_ / "prices"), kOldFile);
  EXPECT_EQ(Names(dir_),
            (std::vector<std::string>{"8306.bak", "8306.csv", "closed", "prices", "prices.bak"}));
  EXPECT_TRUE(Names(dir_ / "closed").empty());
}

// Messages are only information: a standard error that nobody reads changes nothing.
TEST_F(FaultTest, ClosedStandardErrorDoesNotStopTheRun) {
  PlaceOldFiles("8306.csv");
  PageTestServer server([](const std::string& target) {
    return target.starts_with(kNewerTarget) ? Answer::Status500 : Answer::Page;
  });
  testing::ProcessOptions options;
  options.standardErrorClosed = true;
  const ProcessResult run = Pelmo(server.host(), "8306.csv", options);
  EXPECT_EQ(run.exitCode, kExitServiceUnavailable);
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.csv"), kOldFile + OlderWindowRows());
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.bak"), kOldFile);
}

// Beyond the file size limit the write fails instead of the process.
TEST_F(FaultTest, FileSizeLimitGivesFileTooLarge) {
  PlaceOldFiles("8306.csv");
  PageTestServer server([](const std::string&) { return Answer::Page; });
  testing::ProcessOptions options;
  options.fileSizeLimit = 1000;
  const ProcessResult run = Pelmo(server.host(), "8306.csv", options);
  EXPECT_EQ(run.exitCode, EFBIG);
  EXPECT_EQ(run.err, "pelmo: cannot write 8306.csv: File too large\n");
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.csv"), kOldFile);
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.bak"), kOldBackup);
  EXPECT_EQ(Names(dir_), (std::vector<std::string>{"8306.bak", "8306.csv"}));
}

// A second run on a file that a first run is still downloading for stops at once; the
// first run's result is written.
TEST_F(FaultTest, SecondRunOnTheSameFileStopsWithATemporaryFailure) {
  PlaceOldFiles("8306.csv");
  fs::create_directories(dir_ / "first");
  fs::create_directories(dir_ / "second");
  PageTestServer server([](const std::string&) { return Answer::SlowPage; }, 10,
                        std::chrono::milliseconds(50));
  const std::string output = (dir_ / "8306.csv").string();
  ProcessResult first;
  std::thread firstRun([&] { first = Pelmo(server.host(), output, {}, dir_ / "first"); });
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (server.targets().empty() && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const ProcessResult second = Pelmo(server.host(), output, {}, dir_ / "second");
  const std::size_t requestsDuringSecond = server.targets().size();
  firstRun.join();
  EXPECT_EQ(second.exitCode, kExitTemporaryFailure);
  EXPECT_EQ(second.err, "pelmo: cannot write " + output + ": in use by another run of pelmo\n");
  EXPECT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(requestsDuringSecond, 1u) << "the second run requested a page";
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.csv"),
            kOldFile + ServiceRows("8306.t", ServiceDay(2007, 1, 1), ServiceDay(2007, 3, 31)));
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.bak"), kOldFile);
}

}  // namespace
}  // namespace pelmo
