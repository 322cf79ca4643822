#include "app/terminal_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <utility>
#include <vector>

#include "app/download_driver.h"
#include "app/output_file.h"
#include "app/terminal_display.h"
#include "app/terminal_interrupt.h"
#include "app/terminal_report.h"
#include "app/terminal_signal.h"
#include "app/terminal_stream.h"
#include "app/terminal_wait.h"
#include "quote/http_page_source.h"
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

std::optional<off_t> FileSize(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return std::nullopt;
  }
  return status.st_size;
}

// The earlier file is the backup when a file of its size stands at the backup path, which
// is beside `filePath`, the file the output path names (a link's target).
RunSummary Summarize(const DownloadJob& job, const std::string& filePath,
                     std::optional<off_t> earlierSize, int exitCode) {
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

namespace {

int RunDownloadInto(DownloadJob& job, PageSource& pages, const TreeParser& parseTree,
                    std::FILE* messages, const OutputTarget* output) {
  return output != nullptr ? RunDownload(job, pages, parseTree, messages, *output)
                           : RunDownload(job, pages, parseTree, messages);
}

}  // namespace

int RunDownloadOnTerminal(DownloadJob& job, PageSource& pages, const TreeParser& parseTree, int fd,
                          const TerminalCharset& charset, const OutputTarget* output,
                          const std::atomic<int>* attempt) {
  const std::optional<off_t> earlierSize = FileSize(job.outputPath);
  const InterruptNote interruptNote(fd, job.outputPath);
  const StatusLineSignals signals;
  TerminalDisplay display(fd);
  TerminalStream notes = OpenTerminalStream(display, &charset);
  TerminalStream messages = OpenTerminalStream(display, nullptr);
  if (!notes || !messages) {
    return RunDownloadInto(job, pages, parseTree, job.errorStream, output);
  }
  const std::atomic<int> firstAttempt{1};
  WaitingStatus waiting(display, attempt != nullptr ? *attempt : firstAttempt);
  ProgressPageSource progress(pages, display, waiting, job);
  std::FILE* const errorStream = std::exchange(job.errorStream, notes.get());
  const int exitCode = RunDownloadInto(job, progress, parseTree, messages.get(), output);
  job.errorStream = errorStream;
  notes.reset();
  messages.reset();
  display.ClearStatus();
  const std::string& filePath =
      output != nullptr && !output->filePath().empty() ? output->filePath() : job.outputPath;
  RunSummary summary = Summarize(job, filePath, earlierSize, exitCode);
  summary.rowsDownloaded = job.pageRowsStored;
  summary.windowsFailed = progress.failed();
  summary.windowCount = progress.windowCount();
  summary.rangeFirst = FromCalendar(job.start);
  summary.rangeLast = FromCalendar(job.end);
  display.WriteAbove(SummaryLine(summary) + "\n");
  return exitCode;
}

int RunDownloadForPerson(DownloadJob& job, const OutputTarget& output) {
  if (job.errorStream != stderr || ::isatty(STDERR_FILENO) != 1) {
    return RunDownload(job, output);
  }
  std::atomic<int> attempt{1};
  HttpFetchOptions options;
  options.onAttempt = [&attempt](int number) { attempt.store(number); };
  HttpPageSource pages(std::move(options));
  const TerminalCharset charset = TerminalCharset::FromEnvironment();
  return RunDownloadOnTerminal(job, pages, ParseQuotePageTree, STDERR_FILENO, charset, &output,
                               &attempt);
}

}  // namespace pelmo
