// The command line: the job's defaults and the reading of the arguments into the job.
//
//   pelmo [-s startdate][-e enddate][-p d|w|m][-o outfile][-t][-a][-z][-h]
//         [--host [scheme://]host[:port][/prefix]] code
//
// Option letters may be combined (-ta, -se); an option's value is the next plain argument,
// never the rest of its own argument. Parsing prints nothing: the caller turns the outcome
// into console output and an exit code.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "app/dates/serial_date.h"
#include "app/records/download_job.h"
#include "base/result.h"

namespace pelmo {

// A job with the default range: 30 days before `now` to 1 day before it, both with the
// time of day of `now`.
DownloadJob NewJob(SerialDate now);

enum class CommandLineAction {
  Run,             // the job is complete: code, output path and flags are set
  Usage,           // print the usage text and end with exitCode
  StartDateError,  // "error!! start date", exit code 1
  EndDateError,    // "error!! end date", exit code 1
};

struct CommandLineOutcome {
  CommandLineAction action = CommandLineAction::Run;
  int exitCode = 0;
  // For the standard error, before the usage text (see ReportFailure): why an argument was
  // refused, when the usage text alone would not say it. Ok otherwise.
  Result refused;
};

// Reads `args` (without the program name) into `job`. A bad date leaves the job's date
// untouched; an unknown option letter stops at once with the usage text and exit code 1.
// "--help" asks for the usage text as -h does. A refused --host value stops with the usage
// text, exit code 1 and a message such as
// "pelmo: bad --host value 'ftp://x': only http and https".
CommandLineOutcome ParseCommandLine(std::span<const std::string_view> args, DownloadJob& job);

// The code as sent to the quote service: four characters without a '.' gain ".t".
std::string NormalizeCode(std::string_view argument);
// The code up to its first '.', followed by ".csv".
std::string DefaultOutputPath(std::string_view code);
// Whether `host` is [http://|https://]host[:port][/prefix] with a non-empty host and a
// port from 1 to 65535.
bool IsHostAddress(std::string_view host);
// Why `host` is not such an address ("only http and https"); empty when it is.
std::string HostAddressProblem(std::string_view host);

}  // namespace pelmo
