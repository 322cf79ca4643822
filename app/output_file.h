// The output file: one line per record, the date and columnCount values, CR LF.
//
//   2007/03/13,1001,1010,995.5,1003,123400,1003
//
// Values are rounded to two decimals and printed with "%.10g"; each carries its separator
// (a comma, or a tab with tabSeparated) in front. A value read from a page or a stored line
// with at most two decimals and ten significant digits keeps its value: 23456789 is written
// as 23456789.
//
// Writing never destroys the previous file. The lines go to a temporary file in the
// output's folder, which is flushed to disk; then the file standing at the output path
// becomes the backup (see BackupPath) through a hard link or a copy, so that the output
// path is never empty; finally the temporary file is renamed over the output path. When
// any step fails, the temporary file is removed and the output path keeps its old file.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "app/records/download_job.h"

namespace pelmo {

// The outcome of a file operation: 0, or errno of the call that failed and the file it
// was about.
struct [[nodiscard]] FileResult {
  int error = 0;
  std::string path;

  bool ok() const { return error == 0; }
};

// One line of the output file, CR LF included. columnCount is capped at six.
std::string FormatRecordLine(const QuoteRecord& record, int columnCount, char separator);

// The output path up to its last '.', followed by ".bak"; ".bak" when it has no '.'.
std::string BackupPath(std::string_view outputPath);

// Writes job.records to job.outputPath as described above.
FileResult WriteOutputFile(const DownloadJob& job);

// WriteOutputFile, with a failure reported as one line "pelmo: cannot write PATH: REASON"
// on `messages`. Returns the exit code: 0, or the errno of the failure.
int WriteOutput(const DownloadJob& job, std::FILE* messages);

}  // namespace pelmo
