#include "app/download/download_driver.h"

#include <algorithm>
#include <new>
#include <string>

#include "app/download/date_windows.h"
#include "app/download/split_adjust.h"
#include "app/failure_message.h"
#include "app/output/output_file.h"
#include "quote/http_page_source.h"
#include "quote/page_tree.h"

namespace pelmo {
namespace {

// Windows in a row that the service did not answer at all, after which the rest are not
// requested: a service that is not there would otherwise cost every window its attempts.
constexpr int kSilentWindowsBeforeGivingUp = 3;
// Windows in a row that a busy service refused, after which the rest are not requested.
constexpr int kBusyWindowsBeforeGivingUp = 2;

// A page holds at most 51 rows (a daily window's days). Room for that many per window is
// reserved up front, up to a bound: reserved memory that is never filled costs no pages.
constexpr std::size_t kRowsPerWindow = 51;
constexpr std::size_t kMostRowsReserved = std::size_t{1} << 16;

// The subject of a failed window's line: "YYYY/MM/DD-YYYY/MM/DD".
std::string WindowText(SerialDate first, SerialDate last) {
  return Format(first, "%Y/%m/%d") + "-" + Format(last, "%Y/%m/%d");
}

// One window's page, read into the job. A page that cannot be held in memory fails its
// window only: the rows already had are still written.
Result ReadWindow(DownloadJob& job, const DateWindow& window, PageSource& pages,
                  const TreeParser& parseTree) {
  try {
    return FetchQuotePage(job, window.first, window.last, pages, parseTree);
  } catch (const std::bad_alloc&) {
    return Failure(Reason::TooLarge, "page too large");
  }
}

// How much a window's failure weighs in the exit code: rows pelmo did not understand go
// before a page it could not fetch.
int Weight(const Result& result) {
  return result.ok() ? 0 : result.reason == Reason::NotUnderstood ? 2 : 1;
}

// What the windows gave: the weightiest failure (the first of its weight), and whether
// any window's page was read whole.
struct Downloaded {
  Result failure;
  bool anyWindowRead = false;
};

// Fetches, sorts and adjusts.
Downloaded Download(DownloadJob& job, PageSource& pages, const TreeParser& parseTree,
                    std::FILE* messages) {
  // All windows are built before the first request, so a slow service cannot shift them.
  const std::vector<DateWindow> windows = BuildWindows(job.start, job.end, job.period);
  // Pages replace stored rows; how far the existing file reached must be known before.
  const SerialDate storedThrough = LatestStoredDate(job.records.Records());
  job.records.Reserve(job.records.size() +
                      std::min(windows.size() * kRowsPerWindow, kMostRowsReserved));
  Downloaded downloaded;
  // After a window without any answer, each later one gets a single attempt until the
  // service answers again.
  int silentWindows = 0;
  int busyWindows = 0;
  std::string busyWords;
  for (std::size_t i = 0; i < windows.size(); ++i) {
    if (silentWindows == kSilentWindowsBeforeGivingUp ||
        busyWindows == kBusyWindowsBeforeGivingUp) {
      const std::string why = busyWindows == kBusyWindowsBeforeGivingUp
                                  ? busyWords
                                  : std::string("the quote service did not answer");
      // Windows run newest first: the rest span from the last window's first day.
      ReportFailure(messages, About(Failure(Reason::NoAnswer, "not requested, " + why),
                                    WindowText(windows.back().first, windows[i].last)));
      break;
    }
    const Result outcome = ReadWindow(job, windows[i], pages, parseTree);
    downloaded.anyWindowRead |= outcome.ok();
    if (!outcome.ok()) {
      if (Weight(outcome) > Weight(downloaded.failure)) {
        downloaded.failure = outcome;
      }
      ReportFailure(messages, About(outcome, WindowText(windows[i].first, windows[i].last)));
    }
    // A window whose attempts ran out of time is no better than one without an answer.
    const bool noAnswer = outcome.reason == Reason::NoAnswer || outcome.reason == Reason::OutOfTime;
    if (noAnswer != (silentWindows > 0)) {
      pages.SetSingleAttempt(noAnswer);
    }
    silentWindows = noAnswer ? silentWindows + 1 : 0;
    busyWindows = outcome.reason == Reason::ServiceBusy ? busyWindows + 1 : 0;
    busyWords = outcome.message;
  }
  job.records.SortByDate();
  if (job.adjust && !job.splitEvents.empty()) {
    AdjustForSplits(job.records.MutableRecords(), job.splitEvents.Events(), storedThrough);
    job.splitEvents.Clear();
  }
  return downloaded;
}

// A failed write's exit code goes before a failed window's.
int RunExitCode(const Result& fetched, int written) {
  return written != 0 ? written : ExitCode(fetched);
}

// A run in which every window failed has nothing to say in a file that did not exist: an
// empty file would look like a history without rows.
bool NothingToCreate(const DownloadJob& job, const Downloaded& downloaded,
                     const OutputTarget& output) {
  return output.kind() == OutputKind::Absent && !downloaded.anyWindowRead && job.records.empty();
}

}  // namespace

int RunDownload(DownloadJob& job, PageSource& pages, const TreeParser& parseTree,
                std::FILE* messages, const OutputTarget& output) {
  const Downloaded downloaded = Download(job, pages, parseTree, messages);
  if (NothingToCreate(job, downloaded, output)) {
    return ExitCode(downloaded.failure);
  }
  return RunExitCode(downloaded.failure, WriteOutput(job, output, messages));
}

int RunDownload(DownloadJob& job, const OutputTarget& output) {
  HttpPageSource pages;
  return RunDownload(job, pages, ParseQuotePageTree, stderr, output);
}

}  // namespace pelmo
