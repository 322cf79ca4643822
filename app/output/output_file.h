// The output file: one line per record, the date and columnCount values, CR LF.
//
//   2007/03/13,1001,1010,995.5,1003,123400,1003
//
// Values are rounded to two decimals and printed with "%.10g"; each carries its separator
// (a comma, or a tab with tabSeparated) in front. A value read from a page or a stored line
// with at most two decimals and ten significant digits keeps its value: 23456789 is written
// as 23456789.
//
// Writing never destroys the previous file. A regular file is replaced: the lines go to a
// new file in the same folder, unnamed until it is complete where the file system allows
// (else under a temporary name), which is flushed to disk and then renamed over the old
// one; the old file then takes the backup name (see BackupPath), replacing the previous
// backup. When any step fails, the output and the previous backup stay as they were and
// no temporary file remains. A device, pipe or terminal is written straight through.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "app/failure_message.h"
#include "app/output/file_system.h"
#include "app/output/output_target.h"
#include "records/download_job.h"

namespace pelmo {

// One line of the output file, CR LF included. columnCount is capped at six.
std::string FormatRecordLine(const QuoteRecord& record, int columnCount, char separator);

// The file name of `outputPath`, without its folders, up to its last '.' (all of it when
// it has none), followed by ".bak", in the same folder: "data.d/prices" gives
// "data.d/prices.bak", "1234.csv" gives "1234.bak".
std::string BackupPath(std::string_view outputPath);

// Writes job.records to the output `target` found before the download, as described
// above, through `files`. A file changed (or created) by another program since it was
// found is left alone: the result is then a conflict.
Result WriteOutputFile(const DownloadJob& job, const OutputTarget& target,
                       const FileSystem& files = FileSystem());

// The whole file's text, as WriteOutputFile writes it.
std::string FormatRecords(const DownloadJob& job);

// True when `target` is the regular file that the job read, and the records would be
// written as exactly the bytes it held.
bool WouldWriteTheSameBytes(const DownloadJob& job, const OutputTarget& target);

// WriteOutputFile, with a failure reported on `messages` (see ReportFailure); nothing is
// written when WouldWriteTheSameBytes. Returns the exit code of its result (see ExitCode
// in app/failure_message.h).
int WriteOutput(const DownloadJob& job, const OutputTarget& target, std::FILE* messages);

}  // namespace pelmo
