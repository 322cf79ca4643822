#include "app/download_driver.h"

#include <new>
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

// One window's page, read into the job. A page that cannot be held in memory fails its
// window only: the rows already had are still written.
PageOutcome ReadWindow(DownloadJob& job, const DateWindow& window, PageSource& pages,
                       const TreeParser& parseTree) {
  try {
    return FetchQuotePage(job, window.first, window.last, pages, parseTree);
  } catch (const std::bad_alloc&) {
    return {false, "page too large"};
  }
}

}  // namespace

int RunDownload(DownloadJob& job, PageSource& pages, const TreeParser& parseTree,
                std::FILE* messages) {
  // All windows are built before the first request, so a slow service cannot shift them.
  const std::vector<DateWindow> windows = BuildWindows(job.start, job.end, job.period);
  bool anyFailed = false;
  for (const DateWindow& window : windows) {
    const PageOutcome outcome = ReadWindow(job, window, pages, parseTree);
    if (!outcome.fetched) {
      anyFailed = true;
      ReportFetchFailure(messages, window, outcome.failure);
    }
  }
  job.records.SortByDate();
  if (job.adjust && !job.splitEvents.empty()) {
    AdjustForSplits(job.records.MutableRecords(), job.splitEvents);
  }
  const int written = WriteOutput(job, messages);
  if (written != 0) {
    return written;
  }
  return anyFailed ? kExitServiceUnavailable : 0;
}

int RunDownload(DownloadJob& job) {
  HttpPageSource pages;
  return RunDownload(job, pages, ParseQuotePageTree, stderr);
}

}  // namespace pelmo
