#include "app/entry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <utime.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/output/output_file.h"
#include "app/tests/test_support_for_test.h"
#include "app/usage_text.h"

namespace pelmo {
namespace {

std::string UsageText(const std::string& versionText) {
  return "\n"
         "pelmo " +
         versionText +
         "\n"
         "\n"
         "\n"
         "Usage: pelmo [-s startdate][-e enddate][-p d|w|m][-o outfile][-t][-a] code\n"
         "  options\n"
         "    -s startdate\tset start date\n"
         "    -e enddate \t\tset end date\n"
         "    -p d|w|m \t\tset output type d:daily w:weekly m:monthly\n"
         "    -o outfile \t\tset the output file\n"
         "    -t \t\t\toutput tab separated file\n"
         "    -a \t\t\toutput adjustment value\n"
         "    -z \t\t\toutput outstanding balances of margin trading\n"
         "    --host host[:port] \tquote service address (default 127.0.0.1:8730)\n"
         "    --version \t\tprint the version line and exit\n"
         "    --codes file \tdownload every code listed in file (- for standard input)\n"
         "    --jobs n \t\tcodes downloaded at a time with --codes, 1 to 8 (default 1)\n"
         "  date format: YYYY/MM/DD ex.2002/04/01\n"
         "\n";
}

// Runs the entry in-process with a captured console and a download step that records
// the job it was given.
class EntryTest : public ::testing::Test {
 protected:
  int Run(std::vector<std::string_view> args) {
    EntryContext context;
    context.console = console_.get();
    context.errorStream = errors_.get();
    context.now = FromCalendar(2007, 3, 13, 12, 0, 0);
    context.versionText = "9.9.9.9 (01 Jan 2001)";
    context.download = [this](DownloadJob& job, const OutputTarget& output) {
      seen_ = job;
      return download_(job, output);
    };
    context.startHttp = startHttp_;
    context.stopHttp = [this] { ++stops_; };
    return RunPelmo(args, context);
  }

  CapturedStreamForTest console_;
  CapturedStreamForTest errors_;
  std::optional<DownloadJob> seen_;
  std::function<int(DownloadJob&, const OutputTarget&)> download_ =
      [](DownloadJob&, const OutputTarget&) { return 0; };
  std::function<bool()> startHttp_ = [] { return true; };
  int stops_ = 0;
  ScratchFolderForTest folder_;
};

TEST_F(EntryTest, UsageTextAndExitCodes) {
  EXPECT_EQ(Run({}), 1);
  EXPECT_EQ(console_.Text(), UsageText("9.9.9.9 (01 Jan 2001)"));
  EXPECT_FALSE(seen_);
  EXPECT_EQ(Run({"-h", "1234"}), 0);
  EXPECT_EQ(Run({"-pw", "1234"}), 1);
  EXPECT_EQ(console_.Text(), UsageText("9.9.9.9 (01 Jan 2001)") +
                                 UsageText("9.9.9.9 (01 Jan 2001)") +
                                 UsageText("9.9.9.9 (01 Jan 2001)"));
  EXPECT_FALSE(seen_);
  EXPECT_EQ(errors_.Text(), "pelmo: no code given\npelmo: unknown option -w in -pw\n");
}

TEST_F(EntryTest, HelpAndRefusedHost) {
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_EQ(errors_.Text(), "");
  EXPECT_EQ(Run({"--host", "ftp://x", "1234"}), 1);
  EXPECT_EQ(console_.Text(),
            UsageText("9.9.9.9 (01 Jan 2001)") + UsageText("9.9.9.9 (01 Jan 2001)"));
  EXPECT_EQ(errors_.Text(), "pelmo: bad --host value 'ftp://x': only http and https\n");
  EXPECT_FALSE(seen_);
}

TEST_F(EntryTest, DateErrors) {
  EXPECT_EQ(Run({"-s", "2002/13/01", "1234"}), 1);
  EXPECT_EQ(console_.Text(), "error!! start date\n");
  EXPECT_EQ(Run({"-e", "2002/02/30", "1234"}), 1);
  EXPECT_EQ(console_.Text(), "error!! start date\nerror!! end date\n");
  EXPECT_EQ(errors_.Text(),
            "pelmo: bad start date '2002/13/01': use YYYY/MM/DD or YYYY-MM-DD\n"
            "pelmo: bad end date '2002/02/30': use YYYY/MM/DD or YYYY-MM-DD\n");
  EXPECT_FALSE(seen_);
}

// Every refusal says on standard error what was wrong, before the usage text.
TEST_F(EntryTest, RefusalsNameTheProblem) {
  const std::string usage = UsageText("9.9.9.9 (01 Jan 2001)");
  const struct {
    std::vector<std::string_view> args;
    int exitCode;
    std::string out;
    std::string err;
  } cases[] = {
      {{"-x", "7203"}, 1, usage, "pelmo: unknown option -x\n"},
      {{"-tX", "7203"}, 1, usage, "pelmo: unknown option -X in -tX\n"},
      {{"-pw", "7203"}, 1, usage, "pelmo: unknown option -w in -pw\n"},
      {{"--verbose", "7203"}, 1, usage, "pelmo: unknown option --verbose\n"},
      {{}, 1, usage, "pelmo: no code given\n"},
      {{"-t"}, 1, usage, "pelmo: no code given\n"},
      {{""}, 1, usage, "pelmo: the code is empty\n"},
      {{"7203", "--", ""}, 1, usage, "pelmo: the code is empty\n"},
      {{"--host", "::1:8730", "7203"},
       1,
       usage,
       "pelmo: bad --host value '::1:8730': more than one ':'; an IPv6 address goes in brackets, "
       "as in [::1]:8730\n"},
      {{"-s", "2007/13/01", "-x"},
       1,
       "error!! start date\n",
       "pelmo: bad start date '2007/13/01': use YYYY/MM/DD or YYYY-MM-DD\n"},
      {{"-e", "", "7203"},
       1,
       "error!! end date\n",
       "pelmo: bad end date '': use YYYY/MM/DD or YYYY-MM-DD\n"},
      {{"--version"}, 0, "pelmo 9.9.9.9 (01 Jan 2001)\n", ""},
      {{"--version", "-x"}, 1, usage, "pelmo: unknown option -x\n"},
      {{"--version", "-h"}, 0, usage, ""},
      {{"--codes", "/nonexistent/codes.txt"},
       1,
       usage,
       "pelmo: cannot read /nonexistent/codes.txt: No such file or directory\n"},
      {{"--codes"}, 1, usage, "pelmo: --codes needs a value\n"},
      {{"--codes", "list", "--jobs"}, 1, usage, "pelmo: --jobs needs a value\n"},
      {{"--jobs", "0", "--codes", "list"}, 1, usage, "pelmo: bad --jobs value '0': use 1 to 8\n"},
      {{"--codes=list", "--jobs=9"}, 1, usage, "pelmo: bad --jobs value '9': use 1 to 8\n"},
      {{"--codes", "list", "--jobs", "10"}, 1, usage, "pelmo: bad --jobs value '10': use 1 to 8\n"},
      {{"--codes", "list", "7203"}, 1, usage, "pelmo: a code cannot be given with --codes\n"},
  };
  for (const auto& c : cases) {
    const std::size_t outBefore = console_.Text().size();
    const std::size_t errBefore = errors_.Text().size();
    EXPECT_EQ(Run(c.args), c.exitCode) << testing::PrintToString(c.args);
    EXPECT_EQ(console_.Text().substr(outBefore), c.out) << testing::PrintToString(c.args);
    EXPECT_EQ(errors_.Text().substr(errBefore), c.err) << testing::PrintToString(c.args);
  }
  EXPECT_FALSE(seen_);
}

// What follows "--" is a plain argument, even when it begins with '-'; --version does not
// run the download.
TEST_F(EntryTest, EndOfOptionsAndVersion) {
  EXPECT_EQ(Run({"--", "7203"}), 0);
  ASSERT_TRUE(seen_);
  EXPECT_EQ(seen_->code, "7203.t");
  EXPECT_EQ(Run({"-o", "--", "--", "-t"}), 0);
  EXPECT_EQ(seen_->outputPath, "--");
  EXPECT_EQ(seen_->code, "-t");
  EXPECT_FALSE(seen_->tabSeparated);
  seen_.reset();
  EXPECT_EQ(Run({"--version", "7203"}), 0);
  EXPECT_FALSE(seen_);
  EXPECT_EQ(errors_.Text(), "");
}

TEST_F(EntryTest, StartupFailureStopsEverything) {
  startHttp_ = [] { return false; };
  EXPECT_EQ(Run({"-h"}), 1);
  EXPECT_EQ(console_.Text(), "致命的なエラー : HTTP ライブラリの初期化ができませんでした。\n");
  EXPECT_FALSE(seen_);
  EXPECT_EQ(stops_, 0);
}

TEST_F(EntryTest, RunLoadsTheExistingFileBeforeTheDownload) {
  const std::string path = folder_.Path("prices.csv");
  WriteFileForTest(path, "2007/03/14,1,2\r\n2007/03/13,3,4\r\n");
  download_ = [](DownloadJob& job, const OutputTarget& output) {
    job.records.SortByDate();
    return WriteOutput(job, output, stderr);
  };
  EXPECT_EQ(Run({"-o", path, "1234"}), 0);
  ASSERT_TRUE(seen_);
  EXPECT_EQ(seen_->code, "1234.t");
  EXPECT_EQ(seen_->records.size(), 2u);
  EXPECT_EQ(seen_->columnCount, 2);
  EXPECT_EQ(seen_->errorStream, errors_.get());
  EXPECT_EQ(stops_, 1);
  EXPECT_EQ(console_.Text(), "");
  EXPECT_EQ(ReadFileForTest(path), "2007/03/13,3,4\r\n2007/03/14,1,2\r\n");
  EXPECT_EQ(ReadFileForTest(folder_.Path("prices.bak")), "2007/03/14,1,2\r\n2007/03/13,3,4\r\n");
}

// An output that cannot be used ends the run before anything is requested, with its
// message on standard error.
TEST_F(EntryTest, UnusableOutputStopsBeforeTheDownload) {
  const std::string path = folder_.Path("held.csv");
  WriteFileForTest(path, "2007/03/14,1,2\r\n");
  OutputTarget otherRun;
  ASSERT_TRUE(OutputTarget::Open(path, otherRun).ok());
  EXPECT_EQ(Run({"-o", path, "1234"}), kExitTemporaryFailure);
  std::filesystem::create_directory(folder_.Path("folder.csv"));
  EXPECT_EQ(Run({"-o", folder_.Path("folder.csv"), "1234"}), EISDIR);
  EXPECT_FALSE(seen_);
  EXPECT_EQ(errors_.Text(), "pelmo: cannot write " + path +
                                ": in use by another run of pelmo\npelmo: cannot write " +
                                folder_.Path("folder.csv") + ": Is a directory\n");
  EXPECT_EQ(ReadFileForTest(path), "2007/03/14,1,2\r\n");
  EXPECT_EQ(stops_, 2);
}

TEST_F(EntryTest, DownloadResultIsTheExitCode) {
  download_ = [](DownloadJob&, const OutputTarget&) { return 28; };
  EXPECT_EQ(Run({"-o", folder_.Path("x.csv"), "1234"}), 28);
  EXPECT_EQ(stops_, 1);
}

TEST(VersionText, ProgramFileDate) {
  ScratchFolderForTest folder;
  const std::string path = folder.Path("program");
  WriteFileForTest(path, "");
  std::tm fields{};
  fields.tm_year = 2007 - 1900;
  fields.tm_mon = 2;
  fields.tm_mday = 13;
  fields.tm_hour = 12;
  fields.tm_isdst = -1;
  const utimbuf times{std::mktime(&fields), std::mktime(&fields)};
  ASSERT_EQ(utime(path.c_str(), &times), 0);
  EXPECT_EQ(VersionText(path.c_str()), "2.0.2.0 (13 Mar 2007)");
  EXPECT_EQ(VersionText(folder.Path("absent").c_str()), "");
}

// The built program, run as a user would.
struct ProgramRun {
  int exitCode = -1;
  std::string output;
};

ProgramRun RunProgram(const std::string& arguments) {
  const char* buildDir = std::getenv("PELMO_BUILD_DIR");
  ProgramRun run;
  if (buildDir == nullptr) {
    ADD_FAILURE() << "PELMO_BUILD_DIR is not set; run the tests through ctest";
    return run;
  }
  const std::string command = std::string(buildDir) + "/app/pelmo " + arguments;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return run;
  }
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    run.output.append(buffer, got);
  }
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(ProgramBinary, ConsoleOutputAndExitCodes) {
  const char* buildDir = std::getenv("PELMO_BUILD_DIR");
  ASSERT_NE(buildDir, nullptr);
  const std::string program = std::string(buildDir) + "/app/pelmo";
  const std::string usage = UsageText(VersionText(program.c_str()));
  ASSERT_NE(usage.find("pelmo 2.0.2.0 ("), std::string::npos);

  ProgramRun run = RunProgram("");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, usage);
  run = RunProgram("-h 1234");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, usage);
  run = RunProgram("-x 1234");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, usage);
  run = RunProgram("-se 2002/04/01 2002/13/01 1234");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, "error!! end date\n");
  run = RunProgram("1234 --host");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, usage);
  run = RunProgram("--version");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "pelmo " + VersionText(program.c_str()) + "\n");
}

}  // namespace
}  // namespace pelmo
