// The program's way to the output file, for tests: the target at job.outputPath found before
// anything is written, the earlier file's rows read from it, and the records written to it.
#pragma once

#include <cstdio>

#include "app/failure_message.h"
#include "app/output/existing_file.h"
#include "app/output/output_file.h"
#include "app/output/output_target.h"
#include "records/download_job.h"

namespace pelmo {

// OutputTarget::Open and then ReadExistingFile, as the entry runs them; the first failure.
inline Result OpenOutputForTest(DownloadJob& job, OutputTarget& target) {
  Result found = OutputTarget::Open(job.outputPath, target);
  if (found.ok()) {
    found = ReadExistingFile(job, target);
  }
  return found;
}

// OpenOutputForTest with a target of its own, let go again once the rows are read.
inline Result ReadFoundOutputForTest(DownloadJob& job) {
  OutputTarget target;
  return OpenOutputForTest(job, target);
}

// Finds the target at job.outputPath now and writes the records to it.
inline Result WriteFoundOutputForTest(const DownloadJob& job) {
  OutputTarget target;
  if (Result found = OutputTarget::Open(job.outputPath, target); !found.ok()) {
    return found;
  }
  return WriteOutputFile(job, target);
}

// As WriteFoundOutputForTest, reporting a failure on `messages`; returns its exit code.
inline int WriteFoundOutputForTest(const DownloadJob& job, std::FILE* messages) {
  OutputTarget target;
  if (Result found = OutputTarget::Open(job.outputPath, target); !found.ok()) {
    ReportFailure(messages, found);
    return ExitCode(found);
  }
  return WriteOutput(job, target, messages);
}

}  // namespace pelmo
