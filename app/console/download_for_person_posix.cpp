#include "app/console/download_for_person.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <utility>

#include "app/console/terminal_charset.h"
#include "app/console/terminal_display.h"
#include "app/console/terminal_fd_sink.h"
#include "app/console/terminal_interrupt.h"
#include "app/console/terminal_run.h"
#include "app/console/terminal_signal.h"
#include "app/download/download_driver.h"
#include "quote/http_page_source.h"
#include "quote/page_tree.h"

namespace pelmo {

// SIGINT and SIGTERM erase the status line and say what became of the output file
// ("pelmo: interrupted; 7203.csv unchanged").
int RunDownloadForPerson(DownloadJob& job, const OutputTarget& output) {
  if (job.errorStream != stderr || ::isatty(STDERR_FILENO) != 1) {
    return RunDownload(job, output);
  }
  std::atomic<int> attempt{1};
  HttpFetchOptions options;
  options.onAttempt = [&attempt](int number) { attempt.store(number); };
  HttpPageSource pages(std::move(options));
  const TerminalCharset charset = TerminalCharset::FromEnvironment();
  const InterruptNote interruptNote(STDERR_FILENO, job.outputPath);
  const StatusLineSignals signals;
  FdTerminalSink sink(STDERR_FILENO);
  TerminalDisplay display(sink);
  return RunDownloadOnTerminal(job, pages, ParseQuotePageTree, display, charset, output, &attempt);
}

}  // namespace pelmo
