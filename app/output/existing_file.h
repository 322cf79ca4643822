// The file an earlier run left at the output path, read back into the job's records so
// that the new rows are merged into it.
//
// Lines end in LF, CR LF or CR alone; a UTF-8 byte-order mark at the start of the file
// (spreadsheets write one) is skipped. Each line is a dated row (see stored_line.h); a
// later line of the same date replaces an earlier one, as a page row replaces a stored
// one. Blank lines, and lines beginning "Invalid DateTime" (what older versions wrote for
// rows without a date), are dropped. Any other line refuses the whole file: pelmo stores no
// number it did not read as that number, and does not replace a file it could not read.
#pragma once

#include <string_view>

#include "app/failure_message.h"
#include "app/output/output_target.h"
#include "records/download_job.h"

namespace pelmo {

// The bytes a UTF-8 text file may start with to say so.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Reads the rows of `text`, a whole stored file, into the job: records, columnCount
// (raised to the most values on any row) and storedValueCount. Stops at the first line
// that is not a dated row, with a NotUnderstood result whose message says
// "line N is not a dated row: TEXT" (its first 40 bytes, control bytes as spaces) and
// whose subject is `path`.
Result ReadStoredRows(std::string_view text, const std::string& path, DownloadJob& job);

// Appends the records of the regular file of `target` (nothing for any other kind), keeping
// its bytes in job.storedBytes. The file is only read. Fails with the errno of a failed
// read, as a "cannot read" result, or on a line that is not a dated row.
Result ReadExistingFile(DownloadJob& job, const OutputTarget& target);

// The output found, locked and read, before the first request: an output that cannot be read
// or written, or that another run holds, stops its run before anything is fetched.
Result OpenAndReadOutput(DownloadJob& job, OutputTarget& target);

}  // namespace pelmo
