// The download driver: fetches the job's date range window by window, merges the rows
// into the records, sorts them and writes the output file.
#pragma once

#include "app/records/download_job.h"

namespace pelmo {

// Runs the job after the existing file was loaded. Returns the exit code: 0, or the errno
// of a failed write (reported on standard error).
//
// Fetching is not wired in yet: the loaded records are sorted and written back.
int RunDownload(DownloadJob& job);

}  // namespace pelmo
