#include "app/console/download_for_person.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <utility>

#include "app/console/console_interrupt.h"
#include "app/console/console_sink.h"
#include "app/console/terminal_display.h"
#include "app/console/terminal_run.h"
#include "app/download/download_driver.h"
#include "quote/http_page_source.h"
#include "quote/page_tree.h"

namespace pelmo {
namespace {

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return ::GetConsoleMode(handle, &mode) != 0;
}

}  // namespace

// Ctrl-C, Ctrl-Break and closing the window erase the status line and say what became of
// the output file before the process ends.
int RunDownloadForPerson(DownloadJob& job, const OutputTarget& output) {
  const HANDLE console = ::GetStdHandle(STD_ERROR_HANDLE);
  if (job.errorStream != stderr || !IsConsole(console)) {
    return RunDownload(job, output);
  }
  std::atomic<int> attempt{1};
  HttpFetchOptions options;
  options.onAttempt = [&attempt](int number) { attempt.store(number); };
  HttpPageSource pages(std::move(options));
  const ShiftJisToUtf8 notes;
  ConsoleSink sink(ConsoleOutputOf(console));
  TerminalDisplay display(sink);
  const ConsoleInterruptNote interruptNote(display, job.outputPath);
  return RunDownloadOnTerminal(job, pages, ParseQuotePageTree, display, notes, output, &attempt);
}

}  // namespace pelmo
