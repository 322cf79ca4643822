// A run for a person at the terminal or the console: the download shows a status line while
// it fetches, note rows in the screen's characters, and one closing line on what was
// downloaded and written. Each system's RunDownloadForPerson (app/console/download_for_person.h)
// chooses it when standard error is a person's screen, and catches Ctrl-C around it.
#pragma once

#include <atomic>

#include "app/console/download_for_person.h"
#include "app/console/note_converter.h"
#include "app/console/terminal_display.h"
#include "app/output/output_target.h"
#include "quote/quote_page.h"
#include "records/download_job.h"

namespace pelmo {

// Runs shorter than this many windows end before a status line would be of use.
inline constexpr std::size_t kWindowsForProgress = 4;

// The terminal form of RunDownload: everything for standard error, the job's note rows
// included, is written to `display` above its status line, with notes converted by
// `notes`; the closing line follows. A request that keeps the person waiting shows the
// status line in any run (see WaitingStatus), with the number in `attempt` once it is 2 or
// more. `output` is the output found before the download.
int RunDownloadOnTerminal(DownloadJob& job, PageSource& pages, const TreeParser& parseTree,
                          TerminalDisplay& display, const NoteConverter& notes,
                          const OutputTarget& output, const std::atomic<int>* attempt = nullptr);

}  // namespace pelmo
