// The real pelmo killed with SIGKILL at random moments of runs against a slow service:
// whatever the moment, the output path must hold either the complete previous file or the
// complete new one, and the backup a complete earlier file.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/output/output_file.h"
#include "app/tests/page_server_test_util.h"
#include "app/tests/test_process.h"
#include "base/sanitizer.h"

namespace pelmo {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing::Answer;
using testing::PageTestServer;
using testing::ReadFileBytes;
using testing::ServiceDay;
using testing::ServiceRows;
using testing::WriteFileBytes;

// Sanitized runs start several times slower; their build kills fewer of them.
constexpr int kRuns = kAddressSanitizerBuild ? 20 : 100;
constexpr unsigned kSeed = 20070105;
// Enough rows that loading and writing the file take a while too.
constexpr int kOldRows = 10000;

// Rows of one day each from 1 January 1900, as pelmo writes them.
std::string RowsFrom1900(int count) {
  std::string rows;
  for (int i = 0; i < count; ++i) {
    const QuoteRecord record{AddDays(FromCalendar(1900, 1, 1), i),
                             {static_cast<float>(i % 5000), 1.5f, 2, 3, 4, 5}};
    rows += FormatRecordLine(record, 6, ',');
  }
  return rows;
}

// Starts pelmo in `dir` with its output and messages discarded. The child calls only
// what is safe after fork in a process with threads.
pid_t StartPelmo(const std::vector<std::string>& args, const fs::path& dir) {
  std::vector<char*> argv;
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (chdir(dir.c_str()) != 0 || null < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0) {
      _exit(126);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

class CrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("pelmo-crash-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Puts the previous file and its backup in place, as fresh files, and removes what a
  // killed run left behind. Returns how many leftovers there were.
  int Reset(const std::string& previous, const std::string& earlier) {
    int leftovers = 0;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      const std::string name = entry.path().filename().string();
      leftovers += name != "8306.csv" && name != "8306.bak" ? 1 : 0;
      fs::remove(entry.path());
    }
    WriteFileBytes(dir_ / "8306.csv", previous);
    WriteFileBytes(dir_ / "8306.bak", earlier);
    return leftovers;
  }

  std::vector<std::string> Args(const std::string& host) const {
    return {testing::PelmoBinary().string(),
            "--host",
            host,
            "-s",
            "2007/01/01",
            "-e",
            "2007/03/31",
            "8306"};
  }

  // The new file and the lengths of the download (from the first request to the last
  // page sent) and of what follows it, from an undisturbed run.
  struct Reference {
    std::string updated;
    Clock::duration download{};
    Clock::duration rest{};
  };
  Reference RunUndisturbed(PageTestServer& server, const std::string& previous,
                           const std::string& earlier);

  // One run sent `signalNumber` after a random delay: counted from the first request when
  // `early`, else from the last page sent, and spread a little beyond the end of the
  // undisturbed run.
  struct SignalledRun {
    int status = 0;
    long long delay = 0;
    bool fetchedAll = false;
  };
  SignalledRun RunAndSignal(PageTestServer& server, const Reference& reference, bool early,
                            std::mt19937& random, int signalNumber);

  // The files other than the output and the backup, with their contents.
  std::map<std::string, std::string> Leftovers() const {
    std::map<std::string, std::string> leftovers;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      const std::string name = entry.path().filename().string();
      if (name != "8306.csv" && name != "8306.bak") {
        leftovers[name] = ReadFileBytes(entry.path());
      }
    }
    return leftovers;
  }

  // The body of the signal tests.
  void SignalAtRandomMoments();

  fs::path dir_;
};

// Waits, polling, until `done` holds; gives up after a generous limit.
template <typename Condition>
void WaitUntil(Condition done) {
  const Clock::time_point limit = Clock::now() + std::chrono::seconds(20);
  while (!done() && Clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
}

long long Micros(Clock::duration d) {
  return std::chrono::duration_cast<std::chrono::microseconds>(d).count();
}

CrashTest::Reference CrashTest::RunUndisturbed(PageTestServer& server, const std::string& previous,
                                               const std::string& earlier) {
  Reference reference;
  Reset(previous, earlier);
  const std::size_t requestsBefore = server.targets().size();
  const int sentBefore = server.pagesSent();
  const pid_t pid = StartPelmo(Args(server.host()), dir_);
  WaitUntil([&] { return server.targets().size() > requestsBefore; });
  const Clock::time_point requested = Clock::now();
  WaitUntil([&] { return server.pagesSent() - sentBefore == 2; });
  const Clock::time_point downloaded = Clock::now();
  int status = 0;
  waitpid(pid, &status, 0);
  reference.download = downloaded - requested;
  reference.rest = Clock::now() - downloaded;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  reference.updated = ReadFileBytes(dir_ / "8306.csv");
  // Compared as a whole; files this size are not worth printing.
  EXPECT_TRUE(reference.updated ==
              previous + ServiceRows("8306.t", ServiceDay(2007, 1, 1), ServiceDay(2007, 3, 31)))
      << reference.updated.size() << " bytes";
  EXPECT_TRUE(ReadFileBytes(dir_ / "8306.bak") == previous);
  std::printf("[  timing  ] download %lld us, then %lld us to the end\n",
              Micros(reference.download), Micros(reference.rest));
  return reference;
}

CrashTest::SignalledRun CrashTest::RunAndSignal(PageTestServer& server, const Reference& reference,
                                                bool early, std::mt19937& random,
                                                int signalNumber) {
  std::uniform_int_distribution<long long> pick(
      0, early ? Micros(reference.download) : Micros(reference.rest) * 5 / 4);
  SignalledRun run;
  run.delay = pick(random);
  const std::size_t requestsBefore = server.targets().size();
  const int sentBefore = server.pagesSent();
  const pid_t pid = StartPelmo(Args(server.host()), dir_);
  if (early) {
    WaitUntil([&] { return server.targets().size() > requestsBefore; });
  } else {
    WaitUntil([&] { return server.pagesSent() - sentBefore == 2; });
  }
  std::this_thread::sleep_for(std::chrono::microseconds(run.delay));
  kill(pid, signalNumber);
  waitpid(pid, &run.status, 0);
  // Lets the server notice the closed connection before its count is read.
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  run.fetchedAll = server.pagesSent() - sentBefore >= 2;
  return run;
}

TEST_F(CrashTest, KillAtAnyMomentLeavesACompleteFile) {
  std::printf("[   seed   ] %u, %d runs\n", kSeed, kRuns);
  const std::string earlier = RowsFrom1900(kOldRows - 1);
  const std::string previous = RowsFrom1900(kOldRows);
  // Two windows, each sent in four pieces a few milliseconds apart.
  PageTestServer server([](const std::string&) { return Answer::SlowPage; }, 4,
                        std::chrono::milliseconds(1));

  const Reference reference = RunUndisturbed(server, previous, earlier);
  if (::testing::Test::HasFatalFailure()) {
    return;
  }
  const std::string& updated = reference.updated;

  std::mt19937 random(kSeed);
  std::map<std::string, int> outcomes;
  int leftovers = Reset(previous, earlier);
  for (int run = 0; run < kRuns; ++run) {
    // Every other kill comes at a moment of the download, the rest after the last page.
    const SignalledRun signalled = RunAndSignal(server, reference, run % 2 == 0, random, SIGKILL);
    const int status = signalled.status;
    const long long delay = signalled.delay;
    const bool killed = WIFSIGNALED(status);
    const bool fetchedAll = signalled.fetchedAll;

    const std::string output = ReadFileBytes(dir_ / "8306.csv");
    const std::string backup = ReadFileBytes(dir_ / "8306.bak");
    SCOPED_TRACE("run " + std::to_string(run) + ", kill after " + std::to_string(delay) + " us");
    ASSERT_TRUE(fs::exists(dir_ / "8306.csv"));
    ASSERT_TRUE(output == previous || output == updated) << output.size() << " bytes";
    ASSERT_TRUE(backup == earlier || backup == previous) << backup.size() << " bytes";
    bool previousLeftOver = false;
    for (const auto& [name, contents] : Leftovers()) {
      previousLeftOver = previousLeftOver || contents == previous;
    }
    if (output == updated) {
      // Killed between putting the new file in place and naming the backup, the old file
      // is still there under its temporary name.
      ASSERT_TRUE(backup == previous || previousLeftOver)
          << "the new file stands without the old one";
    }
    if (!killed) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }

    const int left = Reset(previous, earlier);
    leftovers += left;
    std::string outcome;
    if (!killed) {
      outcome = "finished before the kill";
    } else if (output == updated) {
      outcome = "killed after the new file was in place";
    } else if (previousLeftOver) {
      outcome = "killed between the new file and the backup";
    } else if (left > 0) {
      outcome = "killed while writing the temporary file";
    } else if (fetchedAll) {
      outcome = "killed after the download, before the write";
    } else {
      outcome = "killed during the download";
    }
    ++outcomes[outcome];
  }
  for (const auto& [outcome, count] : outcomes) {
    std::printf("[ outcome  ] %3d %s\n", count, outcome.c_str());
  }
  std::printf("[ outcome  ] %d temporary files left behind\n", leftovers);
}

// SIGINT and SIGTERM at random moments end the run, but only after its temporary files
// are gone (or a backup whose new file is in place has its name); SIGXFSZ is ignored.
void CrashTest::SignalAtRandomMoments() {
  const std::string earlier = RowsFrom1900(kOldRows - 1);
  const std::string previous = RowsFrom1900(kOldRows);
  PageTestServer server([](const std::string&) { return Answer::SlowPage; }, 4,
                        std::chrono::milliseconds(1));
  const Reference reference = RunUndisturbed(server, previous, earlier);
  ASSERT_FALSE(HasFailure());
  std::mt19937 random(kSeed);
  for (const int signalNumber : {SIGINT, SIGTERM, SIGXFSZ}) {
    std::map<std::string, int> outcomes;
    Reset(previous, earlier);
    for (int run = 0; run < kRuns / 4; ++run) {
      // Most signals come after the last page was sent, while the file is written.
      const SignalledRun signalled =
          RunAndSignal(server, reference, run % 4 == 0, random, signalNumber);
      const int status = signalled.status;
      const long long delay = signalled.delay;

      SCOPED_TRACE("signal " + std::to_string(signalNumber) + ", run " + std::to_string(run) +
                   ", after " + std::to_string(delay) + " us");
      const std::string output = ReadFileBytes(dir_ / "8306.csv");
      const std::string backup = ReadFileBytes(dir_ / "8306.bak");
      ASSERT_TRUE(output == previous || output == reference.updated) << output.size();
      ASSERT_TRUE(output == previous ? backup == earlier : backup == previous) << backup.size();
      const auto left = Leftovers();
      ASSERT_TRUE(left.empty()) << left.begin()->first << " " << left.begin()->second.size();
      if (signalNumber == SIGXFSZ) {
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        ASSERT_TRUE(output == reference.updated);
      } else {
        ASSERT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) ||
                    (WIFEXITED(status) && WEXITSTATUS(status) == 0))
            << status;
      }
      ++outcomes[WIFSIGNALED(status)
                     ? (output == previous ? "ended, old file kept" : "ended, new file in place")
                     : "finished"];
      Reset(previous, earlier);
    }
    for (const auto& [outcome, count] : outcomes) {
      std::printf("[ signal %d ] %3d %s\n", signalNumber, count, outcome.c_str());
    }
  }
}

TEST_F(CrashTest, SignalsAtAnyMomentLeaveNoTemporaryFile) {
  SignalAtRandomMoments();
}

// As where the file system has no unnamed files: the new file has a name from the start,
// which only the signal handler can remove.
TEST_F(CrashTest, SignalsAtAnyMomentLeaveNoNamedTemporaryFile) {
  ASSERT_EQ(::setenv("PELMO_NO_UNNAMED_TEMPORARIES_FOR_TESTS", "1", 1), 0);
  SignalAtRandomMoments();
  ::unsetenv("PELMO_NO_UNNAMED_TEMPORARIES_FOR_TESTS");
}

}  // namespace
}  // namespace pelmo
