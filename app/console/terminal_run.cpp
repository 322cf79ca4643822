#include "app/console/terminal_run.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

#include "app/console/terminal_display.h"
#include "app/console/terminal_report.h"
#include "app/console/terminal_stream.h"
#include "app/console/terminal_wait.h"
#include "app/download/download_driver.h"
#include "app/output/output_file.h"
#include "quote/page_tree.h"

namespace pelmo {
namespace {

// Shows the window of each request on the status line (in a short run only once it keeps
// the person waiting) and counts the failed ones.
class ProgressPageSource : public PageSource {
 public:
  ProgressPageSource(PageSource& pages, TerminalDisplay& display, WaitingStatus& waiting,
                     const DownloadJob& job)
      : pages_(pages),
        display_(display),
        waiting_(waiting),
        code_(job.code),
        windows_(BuildWindows(job.start, job.end, job.period)),
        job_(job) {}

  PageResult Get(const std::string& url) override {
    const bool longRun = windows_.size() >= kWindowsForProgress;
    if (next_ < windows_.size()) {
      std::string text =
          StatusText(code_, windows_[next_], next_ + 1, windows_.size(), job_.pageRowsStored);
      if (longRun) {
        display_.SetStatus(text);
      }
      waiting_.Begin(std::move(text));
    }
    PageResult page = pages_.Get(url);
    waiting_.End();
    if (!page.result.ok()) {
      ++failed_;
    }
    // After the last request the driver writes the file; the line has nothing more to say.
    // A short run's line only ever told of a wait that is now over.
    if (++next_ >= windows_.size() || !longRun) {
      display_.ClearStatus();
    }
    return page;
  }
  // The driver's give-up rule must reach the source that makes the attempts.
  void SetSingleAttempt(bool single) override { pages_.SetSingleAttempt(single); }

  // Windows not requested (the driver gave up on the service) count as failed.
  std::size_t failed() const {
    return failed_ + (windows_.size() - std::min(next_, windows_.size()));
  }
  std::size_t windowCount() const { return windows_.size(); }

 private:
  PageSource& pages_;
  TerminalDisplay& display_;
  WaitingStatus& waiting_;
  std::string code_;
  std::vector<DateWindow> windows_;
  const DownloadJob& job_;
  std::size_t next_ = 0;
  std::size_t failed_ = 0;
};

// The size `stat` gives: that of a regular file, 0 for anything else that exists. Paths are
// UTF-8 on Windows and bytes elsewhere, as a u8string path takes them on each system.
std::optional<std::uintmax_t> FileSize(const std::string& path) {
  const std::filesystem::path name(std::u8string(path.begin(), path.end()));
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(name, error);
  if (error || !std::filesystem::exists(status)) {
    return std::nullopt;
  }
  if (!std::filesystem::is_regular_file(status)) {
    return 0;
  }
  const std::uintmax_t size = std::filesystem::file_size(name, error);
  return error ? std::nullopt : std::optional(size);
}

// The earlier file is the backup when a file of its size stands at the backup path, which
// is beside `filePath`, the file the output path names (a link's target).
RunSummary Summarize(const DownloadJob& job, const std::string& filePath,
                     std::optional<std::uintmax_t> earlierSize, int exitCode) {
  RunSummary summary;
  summary.code = job.code;
  summary.outputPath = job.outputPath;
  summary.written =
      exitCode == 0 || exitCode == kExitServiceUnavailable || exitCode == kExitDataError;
  summary.hadEarlierFile = earlierSize.has_value();
  const std::string backup = BackupPath(filePath);
  if (earlierSize && FileSize(backup) == earlierSize) {
    summary.backupPath = backup;
  }
  summary.rowsInFile = job.records.size();
  for (const QuoteRecord& record : job.records.Records()) {
    if (record.date.IsValid()) {
      summary.lastDate = record.date;
      if (!summary.firstDate) {
        summary.firstDate = record.date;
      }
    }
  }
  return summary;
}

}  // namespace

int RunDownloadOnTerminal(DownloadJob& job, PageSource& pages, const TreeParser& parseTree,
                          TerminalDisplay& display, const NoteConverter& converter,
                          const OutputTarget& output, const std::atomic<int>* attempt) {
  const std::optional<std::uintmax_t> earlierSize = FileSize(job.outputPath);
  TerminalStream notes = OpenTerminalStream(display, &converter);
  TerminalStream messages = OpenTerminalStream(display, nullptr);
  if (!notes || !messages) {
    return RunDownload(job, pages, parseTree, job.errorStream, output);
  }
  const std::atomic<int> firstAttempt{1};
  WaitingStatus waiting(display, attempt != nullptr ? *attempt : firstAttempt);
  ProgressPageSource progress(pages, display, waiting, job);
  std::FILE* const errorStream = std::exchange(job.errorStream, notes.get());
  const int exitCode = RunDownload(job, progress, parseTree, messages.get(), output);
  job.errorStream = errorStream;
  notes.reset();
  messages.reset();
  display.ClearStatus();
  const std::string& filePath = !output.filePath().empty() ? output.filePath() : job.outputPath;
  RunSummary summary = Summarize(job, filePath, earlierSize, exitCode);
  summary.rowsDownloaded = job.pageRowsStored;
  summary.windowsFailed = progress.failed();
  summary.windowCount = progress.windowCount();
  summary.rangeFirst = FromCalendar(job.start);
  summary.rangeLast = FromCalendar(job.end);
  display.WriteAbove(SummaryLine(summary) + "\n");
  return exitCode;
}

}  // namespace pelmo
