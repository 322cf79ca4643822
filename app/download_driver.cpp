#include "app/download_driver.h"

#include <string>

#include "app/download_windows.h"
#include "app/output_file.h"
#include "app/split_adjust.h"
#include "quote/http_page_source.h"
#include "quote/page_tree.h"

namespace pelmo {
namespace {

void ReportFetchFailure(std::FILE* messages, const DateWindow& window, const std::string& why) {
  const std::string line = "pelmo: cannot fetch " + Format(window.first, "%Y/%m/%d") + "-" +
                           Format(window.last, "%Y/%m/%d") + ": " + why + "\n";
  std::fwrite(line.data(), 1, line.size(), messages);
  std::fflush(messages);
}

// Fetches, sorts and adjusts. Returns whether some window could not be fetched.
bool Download(DownloadJob& job, PageSource& pages, const TreeParser& parseTree,
              std::FILE* messages) {
  // All windows are built before the first request, so a slow service cannot shift them.
  const std::vector<DateWindow> windows = BuildWindows(job.start, job.end, job.period);
  // Pages replace stored rows; how far the existing file reached must be known before.
  const SerialDate storedThrough = LatestStoredDate(job.records.Records());
  bool anyFailed = false;
  for (const DateWindow& window : windows) {
    const PageOutcome outcome = FetchQuotePage(job, window.first, window.last, pages, parseTree);
    if (!outcome.fetched) {
      anyFailed = true;
      ReportFetchFailure(messages, window, outcome.failure);
    }
  }
  job.records.SortByDate();
  if (job.adjust && !job.splitEvents.empty()) {
    AdjustForSplits(job.records.MutableRecords(), job.splitEvents.Events(), storedThrough);
    job.splitEvents.Clear();
  }
  return anyFailed;
}

int ExitCode(bool anyFailed, int written) {
  if (written != 0) {
    return written;
  }
  return anyFailed ? kExitServiceUnavailable : 0;
}

}  // namespace

int RunDownload(DownloadJob& job, PageSource& pages, const TreeParser& parseTree,
                std::FILE* messages, const OutputTarget& output) {
  const bool anyFailed = Download(job, pages, parseTree, messages);
  return ExitCode(anyFailed, WriteOutput(job, output, messages));
}

int RunDownload(DownloadJob& job, PageSource& pages, const TreeParser& parseTree,
                std::FILE* messages) {
  const bool anyFailed = Download(job, pages, parseTree, messages);
  return ExitCode(anyFailed, WriteOutput(job, messages));
}

int RunDownload(DownloadJob& job, const OutputTarget& output) {
  HttpPageSource pages;
  return RunDownload(job, pages, ParseQuotePageTree, stderr, output);
}

}  // namespace pelmo
