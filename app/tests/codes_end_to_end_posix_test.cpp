// pelmo --codes against the sample quote service: the same requests, files and backups as
// single runs, failures that stop no other code, whole lines under --jobs, and Ctrl-C.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/tests/test_process.h"

namespace pelmo {
namespace {

namespace fs = std::filesystem;
using pelmo::testing::PelmoBinary;
using pelmo::testing::ProcessResult;
using pelmo::testing::QuoteServerProcess;
using pelmo::testing::ReadFileBytes;
using pelmo::testing::RunProcess;
using pelmo::testing::WriteFileBytes;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) {
      end = text.size();
    }
    lines.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return lines;
}

// A port on 127.0.0.1 on which nothing listens.
int ClosedPort() {
  QuoteServerProcess server;
  return server.port();
}

class CodesEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("pelmo-codes-" + std::string(info->name()) + "-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  ProcessResult Pelmo(const std::string& host, std::vector<std::string> args,
                      const fs::path& workDir) {
    args.insert(args.begin(), {PelmoBinary().string(), "--host", host});
    return RunProcess(args, workDir);
  }
  std::string Log() const { return ReadFileBytes(dir_ / "requests.log"); }

  fs::path dir_;
};

// The range crosses 7203's split of 26 January 2004, whose note row is echoed; 8306 and 6758
// have earlier files, kept as backups.
TEST_F(CodesEndToEnd, ThreeCodesGiveTheFilesAndRequestsOfThreeSingleRuns) {
  QuoteServerProcess server({"--log", (dir_ / "requests.log").string()});
  const std::vector<std::string> range = {"-s", "2003/12/01", "-e", "2004/03/31", "-a"};
  const std::vector<std::string> codes = {"7203", "8306", "6758.t"};
  const std::string old = "2001/01/04,1,2,3,4,5,6\r\n";
  const fs::path single = dir_ / "single";
  const fs::path listed = dir_ / "listed";
  fs::create_directories(single);
  fs::create_directories(listed / "out");
  for (const fs::path& d : {single, listed / "out"}) {
    WriteFileBytes(d / "8306.csv", old);
    WriteFileBytes(d / "6758.csv", old);
  }

  std::string singleErrors;
  for (const std::string& code : codes) {
    std::vector<std::string> args = range;
    args.push_back(code);
    const ProcessResult run = Pelmo(server.hostArgument(), args, single);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string shown = code.find('.') == std::string::npos ? code + ".t" : code;
    for (const std::string& line : Lines(run.err)) {
      singleErrors += shown + "\t" + line + "\n";
    }
  }
  const std::string singleLog = Log();

  WriteFileBytes(listed / "codes.txt", "# portfolio\n7203\n\n  8306\t\n6758.t\n");
  std::vector<std::string> args = range;
  args.insert(args.end(), {"-o", "out", "--codes", "codes.txt"});
  const ProcessResult run = Pelmo(server.hostArgument(), args, listed);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_NE(singleErrors, "");  // the note row of 7203's split
  EXPECT_EQ(run.err, singleErrors);
  EXPECT_EQ(Log().substr(singleLog.size()), singleLog);
  for (const char* name : {"7203.csv", "8306.csv", "8306.bak", "6758.csv", "6758.bak"}) {
    ASSERT_TRUE(fs::exists(single / name)) << name;
    EXPECT_EQ(ReadFileBytes(listed / "out" / name), ReadFileBytes(single / name)) << name;
  }
  EXPECT_FALSE(fs::exists(listed / "out" / "7203.bak"));
  EXPECT_FALSE(fs::exists(listed / "7203.csv"));
}

// 7203's one window fails every attempt (the first twelve connections are dropped), line 2
// is refused, another run holds 8306.csv: 6758 is downloaded all the same, and the first
// failure in list order gives the exit code.
TEST_F(CodesEndToEnd, FailuresStopNoOtherCode) {
  const pelmo::testing::QuickPausesForTests quickPauses;
  QuoteServerProcess server({"--fail-first", "12"});
  const std::string old = "2001/01/04,1,2,3,4,5,6\r\n";
  WriteFileBytes(dir_ / "8306.csv", old);
  const int held = open((dir_ / "8306.csv").c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  WriteFileBytes(dir_ / "codes.txt", "7203\n../x\n8306\n6758\n");
  const ProcessResult run =
      Pelmo(server.hostArgument(), {"-s", "2007/01/01", "-e", "2007/01/31", "--codes", "codes.txt"},
            dir_);
  EXPECT_EQ(run.exitCode, 69);
  const std::vector<std::string> lines = Lines(run.err);
  ASSERT_EQ(lines.size(), 4u) << run.err;
  EXPECT_EQ(lines[0], "pelmo: line 2: bad code '../x'");
  EXPECT_EQ(lines[1].rfind("7203.t\tpelmo: cannot fetch 2007/01/01-2007/01/31: ", 0), 0u)
      << lines[1];
  EXPECT_EQ(lines[2], "8306.t\tpelmo: cannot write 8306.csv: in use by another run of pelmo");
  EXPECT_EQ(lines[3], "pelmo: 3 of 4 codes failed: 7203.t ../x 8306.t");
  EXPECT_FALSE(fs::exists(dir_ / "7203.csv"));
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.csv"), old);
  EXPECT_FALSE(fs::exists(dir_ / "8306.bak"));
  EXPECT_NE(ReadFileBytes(dir_ / "6758.csv"), "");
  EXPECT_FALSE(fs::exists(dir_.parent_path() / "x.csv"));

  // The held file first: its code's exit code is the run's.
  WriteFileBytes(dir_ / "codes.txt", "8306\n6758\n");
  const ProcessResult heldFirst =
      Pelmo(server.hostArgument(), {"-s", "2007/01/01", "-e", "2007/01/31", "--codes", "codes.txt"},
            dir_);
  EXPECT_EQ(heldFirst.exitCode, 75) << heldFirst.err;
  EXPECT_EQ(Lines(heldFirst.err).back(), "pelmo: 1 of 2 codes failed: 8306.t");
  close(held);
}

// Forty codes four at a time against a service that is not there: each code's lines are
// whole, begin with the code and a tab, and are as many as a single run writes.
TEST_F(CodesEndToEnd, LinesOfFourJobsNeverMix) {
  const pelmo::testing::QuickPausesForTests quickPauses;
  const std::string host = "127.0.0.1:" + std::to_string(ClosedPort());
  const std::vector<std::string> range = {"-s", "2007/01/01", "-e", "2007/06/30"};
  std::vector<std::string> args = range;
  args.push_back("1001");
  const ProcessResult single = Pelmo(host, args, dir_);
  ASSERT_EQ(single.exitCode, 69);
  const std::vector<std::string> singleLines = Lines(single.err);
  ASSERT_GE(singleLines.size(), 2u);

  std::string list;
  for (int code = 1001; code <= 1040; ++code) {
    list += std::to_string(code) + "\n";
  }
  WriteFileBytes(dir_ / "codes.txt", list);
  args = range;
  args.insert(args.end(), {"--jobs", "4", "--codes", "codes.txt"});
  const ProcessResult run = Pelmo(host, args, dir_);
  EXPECT_EQ(run.exitCode, 69);
  std::vector<std::string> lines = Lines(run.err);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(),
            "pelmo: 40 of 40 codes failed: 1001.t 1002.t 1003.t 1004.t 1005.t 1006.t 1007.t "
            "1008.t 1009.t 1010.t 1011.t 1012.t 1013.t 1014.t 1015.t 1016.t 1017.t 1018.t "
            "1019.t 1020.t ...");
  lines.pop_back();
  std::map<std::string, std::vector<std::string>> byCode;
  const std::regex line(R"(^(10[0-4][0-9]\.t)\t(pelmo: cannot fetch .*)$)");
  for (const std::string& text : lines) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(text, m, line)) << text;
    byCode[m[1]].push_back(m[2]);
  }
  ASSERT_EQ(byCode.size(), 40u);
  for (const auto& [code, codeLines] : byCode) {
    EXPECT_EQ(codeLines, singleLines) << code;
  }
}

TEST_F(CodesEndToEnd, EmptyListAndAFileForAFolderAreRefused) {
  QuoteServerProcess server;
  WriteFileBytes(dir_ / "codes.txt", "# nothing yet\n\n   \n");
  const ProcessResult empty = Pelmo(server.hostArgument(), {"--codes", "codes.txt"}, dir_);
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_EQ(empty.err, "pelmo: no codes in codes.txt\n");
  EXPECT_NE(empty.out.find("Usage: pelmo"), std::string::npos);

  WriteFileBytes(dir_ / "codes.txt", "7203\n");
  WriteFileBytes(dir_ / "7203.csv", "");
  const ProcessResult notFolder =
      Pelmo(server.hostArgument(), {"--codes", "codes.txt", "-o", "7203.csv"}, dir_);
  EXPECT_EQ(notFolder.exitCode, 1);
  EXPECT_EQ(notFolder.err, "pelmo: bad -o value '7203.csv': not a folder\n");
  EXPECT_NE(notFolder.out.find("Usage: pelmo"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(dir_ / "7203.csv"), "");
}

// Ctrl-C in a long list: no further code starts, the running one is given up before
// anything of it is written, the codes not done are named, and every file is whole.
TEST_F(CodesEndToEnd, InterruptLeavesEveryFileWholeAndNamesTheCodesNotDone) {
  QuoteServerProcess server;
  std::string list;
  for (int code = 2001; code <= 2100; ++code) {
    list += std::to_string(code) + "\n";
  }
  WriteFileBytes(dir_ / "codes.txt", list);
  const std::string errPath = (dir_ / "err.txt").string();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir_.c_str()) != 0) {
      _exit(126);
    }
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(err, 2);
    const std::string binary = PelmoBinary().string();
    const std::string host = server.hostArgument();
    execl(binary.c_str(), binary.c_str(), "--host", host.c_str(), "-s", "1995/01/01", "--codes",
          "codes.txt", "--jobs", "2", static_cast<char*>(nullptr));
    _exit(127);
  }
  // A code of 32 years' windows takes far longer than this.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::vector<std::string> lines = Lines(ReadFileBytes(errPath));
  ASSERT_FALSE(lines.empty());
  const std::regex notDone(R"(^pelmo: interrupted; ([0-9]+) of 100 codes not done: 20.*)");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(lines.back(), m, notDone)) << lines.back();
  const int left = std::stoi(m[1]);
  EXPECT_GE(left, 90);
  int written = 0;
  for (int code = 2001; code <= 2100; ++code) {
    const fs::path file = dir_ / (std::to_string(code) + ".csv");
    if (fs::exists(file)) {
      ++written;
      const std::string bytes = ReadFileBytes(file);
      EXPECT_TRUE(bytes.starts_with("1995/01/") && bytes.ends_with("\r\n")) << file;
    }
  }
  EXPECT_EQ(written, 100 - left);
  for (const auto& entry : fs::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().filename().string().rfind(".pelmo-", 0), std::string::npos)
        << entry.path();
  }
}

}  // namespace
}  // namespace pelmo
