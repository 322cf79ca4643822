// The download driver: fetches the job's date range window by window, merges the rows
// into the records, sorts them, rescales them for splits with -a and writes the output file.
#pragma once

#include <cstdio>

#include "app/failure_message.h"
#include "app/output/output_target.h"
#include "quote/quote_page.h"
#include "records/download_job.h"

namespace pelmo {

// Runs the job after the existing file was loaded, requesting every window's page from
// `pages` (newest window first) and building page trees with `parseTree`. A window whose
// page cannot be fetched adds nothing and is reported on `messages` (see ReportFailure) as
// "pelmo: cannot fetch YYYY/MM/DD-YYYY/MM/DD: REASON"; the run goes on and the file is
// written all the same. Once a window gets no answer at all from the service, the later
// windows get one attempt each until one is answered; after three windows in a row without
// an answer (or whose attempts ran out of time) the remaining ones are not requested, and
// one line names their whole range:
// "pelmo: cannot fetch FIRST-LAST: not requested, the quote service did not answer".
// After two windows in a row refused by a busy service (ServiceBusy) the same holds, the
// line naming the last window's reason instead: "... not requested, the quote service asks
// to wait 3600 s".
// With adjust, the records are rescaled by AdjustForSplits, which tells the rows loaded
// from the existing file (all of `records` on entry) from the page rows. Returns 0,
// kExitServiceUnavailable after a failed window, or the exit code of a failed write (see
// WriteOutput), which writes to `output`, found before the download.
int RunDownload(DownloadJob& job, PageSource& pages, const TreeParser& parseTree,
                std::FILE* messages, const OutputTarget& output);

// RunDownload over HTTP with the HTML tree builder, messages on standard error.
int RunDownload(DownloadJob& job, const OutputTarget& output);

}  // namespace pelmo
