#include "app/console/terminal_run.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/console/terminal_charset.h"
#include "app/console/terminal_fd_sink.h"
#include "app/console/terminal_wait.h"
#include "app/output/existing_file.h"
#include "app/output/output_target.h"
#include "app/tests/output_target_for_test.h"
#include "app/tests/terminal_pipe_for_test.h"
#include "app/tests/test_support_for_test.h"
#include "quote/hostile_pages_test_util.h"
#include "quote/page_tree.h"

namespace pelmo {
namespace {

const std::string kSplit = "\x95\xAA\x8A\x84: 1\x8A\x94 -> 1.5\x8A\x94";
const std::string kErase = "\r\033[K";

// Each page holds one data row dated on its window's last day; `notePage` (counted from 1)
// also holds a split note and `failingPage` cannot be had.
class NumberedPages : public PageSource {
 public:
  NumberedPages(int notePage, int failingPage) : notePage_(notePage), failingPage_(failingPage) {}

  PageResult Get(const std::string& url) override {
    ++served_;
    if (served_ == failingPage_) {
      return {"", Failure(Reason::StatusNotOk, "", 503)};
    }
    const std::string date = Field(url, "f=") + "\x94\x4E" + Field(url, "d=") + "\x8C\x8E" +
                             Field(url, "e=") + "\x93\xFA";
    std::string rows = "<tr><th>date</th></tr><tr><td>" + date +
                       "</td><td>2</td><td>4</td><td>1</td><td>3</td><td>5</td><td>6</td></tr>";
    if (served_ == notePage_) {
      rows += "<tr><td>" + hostile::DateText(26) + "</td><td>" + kSplit + "</td></tr>";
    }
    return {hostile::WrapAsServicePage("<table>" + rows + "</table>"), {}};
  }

 private:
  static std::string Field(const std::string& url, const std::string& key) {
    const std::size_t at = url.find(key, url.find('?')) + key.size();
    return url.substr(at, url.find('&', at) - at);
  }

  int notePage_;
  int failingPage_;
  int served_ = 0;
};

class TerminalRunTest : public ::testing::Test {
 protected:
  DownloadJob Job(int firstYear, int lastYear) {
    DownloadJob job;
    job.code = "1234.t";
    job.start = *ToCalendar(FromCalendar(firstYear, 1, 1));
    job.end = *ToCalendar(FromCalendar(lastYear, 12, 31));
    job.outputPath = folder_.Path("1234.csv");
    job.errorStream = stderr;
    return job;
  }

  // RunDownloadOnTerminal on a display of its own, drawn on the pipe, as the program runs it:
  // into `output`, or else the target found at job.outputPath now.
  int RunOnPipe(DownloadJob& job, PageSource& pages, const NoteConverter& notes,
                const OutputTarget* output = nullptr, const std::atomic<int>* attempt = nullptr) {
    FdTerminalSink sink(pipe_.fd());
    TerminalDisplay display(sink);
    OutputTarget found;
    if (output == nullptr) {
      EXPECT_TRUE(OutputTarget::Open(job.outputPath, found).ok());
    }
    return RunDownloadOnTerminal(job, pages, ParseQuotePageTree, display, notes,
                                 output != nullptr ? *output : found, attempt);
  }

  ScratchFolderForTest folder_;
  TerminalPipeForTest pipe_;
};

TEST_F(TerminalRunTest, LongRunShowsProgressConvertedNotesAndSummary) {
  WriteFileForTest(folder_.Path("1234.csv"), "2006/12/29,9,9,9,9,9,9\r\n");
  DownloadJob job = Job(2006, 2006);  // eight daily windows
  ASSERT_TRUE(ReadFoundOutputForTest(job).ok());
  NumberedPages pages(2, 3);
  const TerminalCharset utf8("UTF-8");
  EXPECT_EQ(RunOnPipe(job, pages, utf8), 69);
  EXPECT_EQ(job.errorStream, stderr);
  const std::string shown = pipe_.Take();
  const std::string path = folder_.Path("1234.csv");
  const std::string summary =
      "pelmo: 1234.t: 7 rows downloaded (1 of 8 windows could not be fetched); " + path +
      " holds 8 rows, 2006/01/08 to 2006/12/31; the earlier file is kept as " +
      folder_.Path("1234.bak") + "\n";
  // The first window is shown at once; later ones as often as the clock allows.
  EXPECT_EQ(shown.rfind("\r1234.t 2006/11/11-2006/12/31 1/8 0 rows\033[K", 0), 0u) << shown;
  EXPECT_NE(shown.find(kErase + "2007/01/26,分割: 1株 -> 1.5株\n\r1234.t "), std::string::npos)
      << shown;
  EXPECT_NE(shown.find(kErase + "pelmo: cannot fetch 2006/08/01-2006/09/20: HTTP status 503\n"),
            std::string::npos)
      << shown;
  // The status line is erased for good before the summary, which ends the output.
  ASSERT_GE(shown.size(), kErase.size() + summary.size());
  EXPECT_EQ(shown.substr(shown.size() - summary.size() - kErase.size()), kErase + summary);
  EXPECT_EQ(shown.find("\033[K", shown.size() - summary.size()), std::string::npos);
}

TEST_F(TerminalRunTest, ShortRunHasNoStatusLineAndRawNotesWithoutCharset) {
  DownloadJob job = Job(2007, 2007);
  job.start = *ToCalendar(FromCalendar(2007, 11, 20));  // one daily window
  NumberedPages pages(1, 0);
  const TerminalCharset none("ANSI_X3.4-1968");
  EXPECT_EQ(RunOnPipe(job, pages, none), 0);
  EXPECT_EQ(pipe_.Take(), "2007/01/26," + kSplit + "\r\n" + "pelmo: 1234.t: 1 row downloaded; " +
                              folder_.Path("1234.csv") +
                              " holds 1 row, 2007/12/31 to 2007/12/31; no backup: there was "
                              "no earlier file\n");
}

// The folder goes away during the run: a missing folder found before it would stop it there.
TEST_F(TerminalRunTest, FailedWriteLeavesTheEarlierFileAndSaysSo) {
  DownloadJob job = Job(2007, 2007);
  job.start = *ToCalendar(FromCalendar(2007, 11, 20));
  std::filesystem::create_directory(folder_.Path("gone"));
  job.outputPath = folder_.Path("gone/1234.csv");
  OutputTarget output;
  ASSERT_TRUE(OutputTarget::Open(job.outputPath, output).ok());
  std::filesystem::remove(folder_.Path("gone"));
  NumberedPages pages(0, 0);
  const TerminalCharset utf8("UTF-8");
  EXPECT_EQ(RunOnPipe(job, pages, utf8, &output), 2);
  const std::string shown = pipe_.Take();
  EXPECT_EQ(shown.rfind("pelmo: cannot write ", 0), 0u) << shown;
  EXPECT_NE(
      shown.find("\npelmo: 1234.t: 1 row downloaded; " + job.outputPath + " was not written\n"),
      std::string::npos)
      << shown;
}

// Through a link the earlier file is backed up beside the file the link names; the summary
// must name that backup, not one beside the link.
TEST_F(TerminalRunTest, SummaryNamesTheBackupBesideALinksTarget) {
  DownloadJob job = Job(2007, 2007);
  job.start = *ToCalendar(FromCalendar(2007, 11, 20));
  std::filesystem::create_directory(folder_.Path("data"));
  WriteFileForTest(folder_.Path("data/real.csv"), "2006/01/04,1,2,3,4,5,6\r\n");
  std::filesystem::create_symlink("data/real.csv", job.outputPath);
  OutputTarget output;
  ASSERT_TRUE(OutputTarget::Open(job.outputPath, output).ok());
  NumberedPages pages(0, 0);
  const TerminalCharset utf8("UTF-8");
  EXPECT_EQ(RunOnPipe(job, pages, utf8, &output), 0);
  const std::string shown = pipe_.Take();
  EXPECT_NE(shown.find("; the earlier file is kept as " + folder_.Path("data/real.bak") + "\n"),
            std::string::npos)
      << shown;
  EXPECT_EQ(ReadFileForTest(folder_.Path("data/real.bak")), "2006/01/04,1,2,3,4,5,6\r\n");
}

// Every page goes unanswered; remembers the attempt setting each request was made with.
class SilentPages : public PageSource {
 public:
  PageResult Get(const std::string&) override {
    singleAttempt.push_back(single_);
    return {"", Failure(Reason::NoAnswer, "connection refused")};
  }
  void SetSingleAttempt(bool single) override { single_ = single; }

  std::vector<bool> singleAttempt;

 private:
  bool single_ = false;
};

TEST_F(TerminalRunTest, GivingUpReachesTheSourceThroughTheStatusLine) {
  DownloadJob job = Job(2006, 2006);  // eight daily windows
  SilentPages pages;
  const TerminalCharset utf8("UTF-8");
  EXPECT_EQ(RunOnPipe(job, pages, utf8), 69);
  // One window with every attempt, two with one each, then the rest are not requested.
  EXPECT_EQ(pages.singleAttempt, (std::vector<bool>{false, true, true}));
  const std::string shown = pipe_.Take();
  EXPECT_NE(shown.find(": not requested, the quote service did not answer\n"), std::string::npos);
  EXPECT_NE(shown.find("pelmo: 1234.t: 0 rows downloaded: none of the 8 windows could be "
                       "fetched; " +
                       job.outputPath + " holds 0 rows; no backup: there was no earlier file\n"),
            std::string::npos)
      << shown;
}

// Pages that hold a table without rows.
class EmptyPages : public PageSource {
 public:
  PageResult Get(const std::string&) override {
    return {hostile::WrapAsServicePage("<table><tr><th>date</th></tr></table>"), {}};
  }
};

TEST_F(TerminalRunTest, SummarySaysWhyNoRowWasDownloaded) {
  DownloadJob job = Job(2007, 2007);
  job.start = *ToCalendar(FromCalendar(2007, 11, 20));
  EmptyPages pages;
  const TerminalCharset utf8("UTF-8");
  EXPECT_EQ(RunOnPipe(job, pages, utf8), 0);
  EXPECT_EQ(pipe_.Take(),
            "pelmo: 1234.t: 0 rows downloaded: the pages held no rows for this code from "
            "2007/11/20 to 2007/12/31; " +
                job.outputPath + " holds 0 rows; no backup: there was no earlier file\n");
}

// The first attempt goes unanswered; the second keeps the person waiting past two seconds.
class RetriedPage : public PageSource {
 public:
  explicit RetriedPage(std::atomic<int>& attempt) : attempt_(attempt) {}
  PageResult Get(const std::string&) override {
    attempt_.store(1);
    attempt_.store(2);
    std::this_thread::sleep_for(WaitingStatus::kShowAfter + std::chrono::milliseconds(400));
    return {"", Failure(Reason::NoAnswer, "timed out")};
  }

 private:
  std::atomic<int>& attempt_;
};

TEST_F(TerminalRunTest, ShortRunShowsAWindowThatKeepsThePersonWaiting) {
  DownloadJob job = Job(2007, 2007);
  job.start = *ToCalendar(FromCalendar(2007, 11, 20));  // one daily window
  std::atomic<int> attempt{0};
  RetriedPage pages(attempt);
  const TerminalCharset utf8("UTF-8");
  EXPECT_EQ(RunOnPipe(job, pages, utf8, nullptr, &attempt), 69);
  EXPECT_EQ(pipe_.Take(),
            "\r1234.t 2007/11/20-2007/12/31 1/1 0 rows, attempt 2\033[K" + kErase +
                "pelmo: cannot fetch 2007/11/20-2007/12/31: timed out\n"
                "pelmo: 1234.t: 0 rows downloaded: the window could not be fetched; " +
                job.outputPath + " holds 0 rows; no backup: there was no earlier file\n");
}

}  // namespace
}  // namespace pelmo
