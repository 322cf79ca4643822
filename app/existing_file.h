// The file an earlier run left at the output path, read back into the job's records so
// that the new rows are merged into it.
//
// Each line gives one record: fields are split at commas and tabs alike (runs of
// separators count as one, leading ones are skipped); the first field is the date, the
// next six are the values, further fields are ignored. A line that is not a record still
// gives one, with an invalid date; only lines of nothing but white space are skipped.
// A UTF-8 byte-order mark at the start of the file (spreadsheets write one) is skipped.
#pragma once

#include <string_view>

#include "app/failure_message.h"
#include "app/output_target.h"
#include "app/records/download_job.h"

namespace pelmo {

// The bytes a UTF-8 text file may start with to say so.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// One record from one line (its line end may be included), marked as read from the
// existing file. Values are read as the C library reads a double, so "23456789" stays
// 23456789. `valueCount` receives the number of value fields the line held, at most six.
QuoteRecord ParseRecordLine(std::string_view line, int& valueCount);

// Removes a byte-order mark from the start of the file's first line.
void SkipByteOrderMark(std::string& line);

// Appends the records of the file at job.outputPath, if it can be opened, and raises
// job.columnCount to the most values on any line. The file is only read. Returns 0.
int LoadExistingFile(DownloadJob& job);

// As LoadExistingFile, from the regular file of `target` (nothing for any other kind),
// and telling a failure: the errno of a failed read, as a "cannot read" result.
Result ReadExistingFile(DownloadJob& job, const OutputTarget& target);

}  // namespace pelmo
