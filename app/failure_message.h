// How a failed result is told: one "pelmo: ..." line on standard error, and the exit code.
//
//   pelmo: cannot fetch 2007/01/01-2007/02/20: connection refused
//   pelmo: cannot read 7203.csv: Permission denied
//   pelmo: cannot write 7203.csv: in use by another run of pelmo
//   pelmo: bad --host value 'ftp://x': only http and https
//   pelmo: --host needs a value
//   pelmo: bad start date '2007/13/01': use YYYY/MM/DD or YYYY-MM-DD
//   pelmo: unknown option -x
#pragma once

#include <cstdio>
#include <string>

#include "base/result.h"

namespace pelmo {

// The exit code when another run of pelmo, or another program, holds or changed the
// output file: a temporary failure, worth trying again later.
inline constexpr int kExitTemporaryFailure = 75;

// The exit code of a run that met a file or a page it does not understand (EX_DATAERR):
// an existing file that is not a file of dated rows, or page rows that were not stored.
inline constexpr int kExitDataError = 65;

// The exit code of a run in which some window's page could not be fetched (a service is
// unavailable); a failed write's errno takes precedence.
inline constexpr int kExitServiceUnavailable = 69;

// The result of another run of pelmo holding `path`.
Result InUseByAnotherRun(const std::string& path);
// The result of `path` changed by another program since this run read it.
Result ChangedDuringTheRun(const std::string& path);

// The line of a failed result, line feed included; empty for a success. Its subject is the
// window for a page, the path for a file, the option and value for a setting. A file
// failure with an error code is told in the system's words for it.
std::string FailureLine(const Result& result);

// 0 for a success; the error code of a file that cannot be read or written;
// kExitTemporaryFailure when the file is in use or was changed; kExitDataError for what
// pelmo does not understand; kExitServiceUnavailable for a page; 1 for a setting or an
// argument.
int ExitCode(const Result& result);

// Writes FailureLine on `messages` and flushes it (nothing when it is null or the result a
// success). A failed write there is ignored: the messages only inform.
void ReportFailure(std::FILE* messages, const Result& result);

}  // namespace pelmo
