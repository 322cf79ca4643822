#include "app/download_driver.h"

#include <cstdio>

#include "app/output_file.h"

namespace pelmo {

int RunDownload(DownloadJob& job) {
  job.records.SortByDate();
  return WriteOutput(job, stderr);
}

}  // namespace pelmo
