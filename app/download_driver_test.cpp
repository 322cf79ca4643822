// The download driver with canned pages: which windows are requested, what is reported and
// the exit code, when pages fail.
#include "app/download_driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "app/test_process.h"

namespace pelmo {
namespace {

namespace fs = std::filesystem;

// A page that survives the cut down to its data table, so that the tree parser is called.
const std::string kTablePage = "<!--/tab--><table></table><table><tr><td>x</td></tr></table>";

// Answers each request with what `answer` gives for its 0-based number, and records the
// requests.
class ScriptedSource : public PageSource {
 public:
  explicit ScriptedSource(std::function<PageResult(int)> answer) : answer_(std::move(answer)) {}

  PageResult Get(const std::string& url) override {
    urls.push_back(url);
    return answer_(static_cast<int>(urls.size()) - 1);
  }

  std::vector<std::string> urls;

 private:
  std::function<PageResult(int)> answer_;
};

PageResult Page() {
  return {kTablePage, ""};
}

class DownloadDriverTest : public ::testing::Test {
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
    std::FILE* sink = std::tmpfile();
    const int exitCode = RunDownload(job, pages, parser, sink);
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
TEST_F(DownloadDriverTest, PageWithoutMemoryFailsItsWindowOnly) {
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

}  // namespace
}  // namespace pelmo
