// The download of a run started by a person or a script: RunDownload over HTTP, with what
// the system's console offers a person watching (on a terminal, see app/console/terminal_run.h; on
// a Windows console, note rows in the console's own characters). When standard error is a
// file or a pipe, the run is RunDownload's, byte for byte.
#pragma once

#include "app/output/output_target.h"
#include "records/download_job.h"

namespace pelmo {

// Writes into `output`, found before the download. Returns RunDownload's exit code.
int RunDownloadForPerson(DownloadJob& job, const OutputTarget& output);

}  // namespace pelmo
