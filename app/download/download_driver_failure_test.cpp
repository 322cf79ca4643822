// The download driver with canned pages that fail: which windows are requested, what is
// reported and the exit code.
#include "app/download/download_driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "app/tests/test_process.h"

namespace pelmo {
namespace {

namespace fs = std::filesystem;

// A page that survives the cut down to its data table, so that the tree parser is called.
const std::string kTablePage = "<!--/tab--><table></table><table><tr><td>x</td></tr></table>";

// Answers each request with what `answer` gives for its 0-based number, and records the
// requests and the attempt setting they were made with.
class ScriptedSource : public PageSource {
 public:
  explicit ScriptedSource(std::function<PageResult(int)> answer) : answer_(std::move(answer)) {}

  PageResult Get(const std::string& url) override {
    urls.push_back(url);
    singleAttempt.push_back(single_);
    return answer_(static_cast<int>(urls.size()) - 1);
  }
  void SetSingleAttempt(bool single) override { single_ = single; }

  std::vector<std::string> urls;
  std::vector<bool> singleAttempt;

 private:
  std::function<PageResult(int)> answer_;
  bool single_ = false;
};

PageResult Page() {
  return {kTablePage, {}};
}
PageResult Silent(const std::string& why) {
  return {"", Failure(Reason::NoAnswer, why)};
}
PageResult Status(int status) {
  return {"", Failure(Reason::StatusNotOk, "", status)};
}
PageResult OutOfTime() {
  return {"", Failure(Reason::OutOfTime, "timed out")};
}
PageResult Busy(const std::string& why) {
  return {"", Failure(Reason::ServiceBusy, why, 429)};
}

class DownloadDriverFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("pelmo-driver-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
            std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A daily job of `days` days ending 2007/03/31 (51 days a window), with one stored row.
  DownloadJob Job(int days) {
    DownloadJob job;
    const SerialDate first = SubtractDays(FromCalendar(2007, 3, 31), days - 1);
    job.start = *ToCalendar(first);
    job.end = *ToCalendar(FromCalendar(2007, 3, 31));
    job.code = "8306.t";
    job.outputPath = (dir_ / "8306.csv").string();
    job.columnCount = 6;
    job.records.Append({FromCalendar(2001, 1, 4), {1, 2, 3, 4, 5, 6}});
    return job;
  }

  // Runs the job; returns the exit code and leaves the messages in messages_.
  int Run(DownloadJob& job, PageSource& pages, const TreeParser& parser = IgnoreTree()) {
    OutputTarget target;
    EXPECT_TRUE(OutputTarget::Open(job.outputPath, target).ok());
    std::FILE* sink = std::tmpfile();
    const int exitCode = RunDownload(job, pages, parser, sink, target);
    std::rewind(sink);
    char buffer[8192];
    messages_.assign(buffer, std::fread(buffer, 1, sizeof buffer, sink));
    std::fclose(sink);
    return exitCode;
  }

  static TreeParser IgnoreTree() {
    return [](std::string_view, const std::function<void(const HtmlNode&)>&) {};
  }

  std::string File() const { return testing::ReadFileBytes(dir_ / "8306.csv"); }

  fs::path dir_;
  std::string messages_;
};

// The tree of one page needing more memory than there is loses that window only.
TEST_F(DownloadDriverFailureTest, PageWithoutMemoryFailsItsWindowOnly) {
  DownloadJob job = Job(90);
  ScriptedSource pages([](int) { return Page(); });
  int parsed = 0;
  const TreeParser parser = [&parsed](std::string_view,
                                      const std::function<void(const HtmlNode&)>&) {
    if (parsed++ == 0) {
      throw std::bad_alloc();
    }
  };
  EXPECT_EQ(Run(job, pages, parser), kExitServiceUnavailable);
  EXPECT_EQ(messages_, "pelmo: cannot fetch 2007/02/09-2007/03/31: page too large\n");
  EXPECT_EQ(parsed, 2);
  EXPECT_EQ(File(), "2001/01/04,1,2,3,4,5,6\r\n");
}

// Six windows of a 300-day range, newest first.
const char* const kWindows[] = {"2007/02/09-2007/03/31", "2006/12/20-2007/02/08",
                                "2006/10/30-2006/12/19", "2006/09/09-2006/10/29",
                                "2006/07/20-2006/09/08", "2006/06/05-2006/07/19"};

std::string CannotFetch(const std::string& window, const std::string& why) {
  return "pelmo: cannot fetch " + window + ": " + why + "\n";
}

// Three windows in a row without an answer: the first with every attempt, the next two
// with one each, and the rest are not asked for.
TEST_F(DownloadDriverFailureTest, ServiceThatNeverAnswersIsGivenUp) {
  DownloadJob job = Job(300);
  ScriptedSource pages([](int) { return Silent("connection refused"); });
  EXPECT_EQ(Run(job, pages), kExitServiceUnavailable);
  EXPECT_EQ(pages.singleAttempt, (std::vector<bool>{false, true, true}));
  EXPECT_EQ(messages_, CannotFetch(kWindows[0], "connection refused") +
                           CannotFetch(kWindows[1], "connection refused") +
                           CannotFetch(kWindows[2], "connection refused") +
                           CannotFetch("2006/06/05-2006/10/29",
                                       "not requested, the quote service did not answer"));
  EXPECT_EQ(File(), "2001/01/04,1,2,3,4,5,6\r\n") << "the stored rows are written";
}

// Nothing is left to skip when the third silent window is the last.
TEST_F(DownloadDriverFailureTest, GivingUpOnTheLastWindowNamesNothingMore) {
  DownloadJob job = Job(300);
  ScriptedSource pages([](int i) { return i < 3 ? Page() : Silent("timed out"); });
  EXPECT_EQ(Run(job, pages), kExitServiceUnavailable);
  EXPECT_EQ(pages.singleAttempt, (std::vector<bool>{false, false, false, false, true, true}));
  EXPECT_EQ(messages_, CannotFetch(kWindows[3], "timed out") +
                           CannotFetch(kWindows[4], "timed out") +
                           CannotFetch(kWindows[5], "timed out"));
}

// An answer, even a status other than 200, ends the silence: the next windows get every
// attempt again and the count starts over.
TEST_F(DownloadDriverFailureTest, AnswerBetweenSilentWindowsKeepsTheRunGoing) {
  DownloadJob job = Job(300);
  ScriptedSource pages([](int i) {
    switch (i) {
      case 2:
        return Status(503);
      case 5:
        return Page();
      default:
        return Silent("connection reset");
    }
  });
  EXPECT_EQ(Run(job, pages), kExitServiceUnavailable);
  EXPECT_EQ(pages.singleAttempt, (std::vector<bool>{false, true, true, false, true, true}));
  EXPECT_EQ(messages_, CannotFetch(kWindows[0], "connection reset") +
                           CannotFetch(kWindows[1], "connection reset") +
                           CannotFetch(kWindows[2], "HTTP status 503") +
                           CannotFetch(kWindows[3], "connection reset") +
                           CannotFetch(kWindows[4], "connection reset"));
}

// Failures that are answers (a status, a page too large) never lead to giving up.
TEST_F(DownloadDriverFailureTest, AnsweredFailuresAreNeverGivenUp) {
  DownloadJob job = Job(300);
  ScriptedSource pages([](int) { return Status(500); });
  EXPECT_EQ(Run(job, pages), kExitServiceUnavailable);
  EXPECT_EQ(pages.urls.size(), 6u);
  EXPECT_EQ(pages.singleAttempt, std::vector<bool>(6, false));
}

// A window whose attempts ran out of time (a trickling body) counts toward giving up like
// one without an answer, mixed with those too.
TEST_F(DownloadDriverFailureTest, WindowsOutOfTimeAreGivenUpLikeSilentOnes) {
  DownloadJob job = Job(300);
  ScriptedSource pages([](int i) { return i == 1 ? Silent("timed out") : OutOfTime(); });
  EXPECT_EQ(Run(job, pages), kExitServiceUnavailable);
  EXPECT_EQ(pages.singleAttempt, (std::vector<bool>{false, true, true}));
  EXPECT_EQ(
      messages_,
      CannotFetch(kWindows[0], "timed out") + CannotFetch(kWindows[1], "timed out") +
          CannotFetch(kWindows[2], "timed out") +
          CannotFetch("2006/06/05-2006/10/29", "not requested, the quote service did not answer"));
}

// Two windows in a row refused by a busy service end the requests; the line names the last
// wait asked for. The file is still written.
TEST_F(DownloadDriverFailureTest, TwoBusyWindowsInARowEndTheRequests) {
  DownloadJob job = Job(300);
  ScriptedSource pages([](int i) {
    return Busy(i == 0 ? "the quote service asks to wait 3600 s"
                       : "the quote service asks to wait 7200 s");
  });
  EXPECT_EQ(Run(job, pages), kExitServiceUnavailable);
  EXPECT_EQ(pages.urls.size(), 2u);
  EXPECT_EQ(pages.singleAttempt, (std::vector<bool>{false, false}));
  EXPECT_EQ(messages_, CannotFetch(kWindows[0], "the quote service asks to wait 3600 s") +
                           CannotFetch(kWindows[1], "the quote service asks to wait 7200 s") +
                           CannotFetch("2006/06/05-2006/12/19",
                                       "not requested, the quote service asks to wait 7200 s"));
  EXPECT_EQ(File(), "2001/01/04,1,2,3,4,5,6\r\n");
}

// Only busy windows in a row count: a page between them starts the count again.
TEST_F(DownloadDriverFailureTest, PageBetweenBusyWindowsKeepsTheRunGoing) {
  DownloadJob job = Job(300);
  ScriptedSource pages([](int i) { return i % 2 == 0 ? Busy("HTTP status 503") : Page(); });
  EXPECT_EQ(Run(job, pages), kExitServiceUnavailable);
  EXPECT_EQ(pages.urls.size(), 6u);
}

}  // namespace
}  // namespace pelmo
