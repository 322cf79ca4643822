// A run for a person at the terminal. When standard error is a terminal, the download shows
// a status line while it fetches, note rows in the terminal's character set, and one closing
// line on what was downloaded and written. When it is not, the run is RunDownload's, byte for
// byte.
#pragma once

#include <atomic>

#include "app/download_for_person.h"
#include "app/output_target.h"
#include "app/records/download_job.h"
#include "app/terminal_charset.h"
#include "quote/quote_page.h"

namespace pelmo {

// Runs shorter than this many windows end before a status line would be of use.
inline constexpr std::size_t kWindowsForProgress = 4;

// The terminal form of RunDownload: everything for standard error, the job's note rows
// included, is written to `fd` through a status line display, with notes converted by
// `charset`; the closing line follows. A request that keeps the person waiting shows the
// status line in any run (see WaitingStatus), with the number in `attempt` once it is 2 or
// more. SIGINT and SIGTERM erase the status line and say what became of the output file
// ("pelmo: interrupted; 7203.csv unchanged"). `output` is the output found before the
// download, or null to find it when writing.
int RunDownloadOnTerminal(DownloadJob& job, PageSource& pages, const TreeParser& parseTree, int fd,
                          const TerminalCharset& charset, const OutputTarget* output = nullptr,
                          const std::atomic<int>* attempt = nullptr);

}  // namespace pelmo
