// The command line: the job's defaults and the reading of the arguments into the job.
//
//   pelmo [-s startdate][-e enddate][-p d|w|m][-o outfile][-t][-a][-z][-h]
//         [--host [scheme://]host[:port][/prefix]] [--] code
//   pelmo [options] --codes file [--jobs n]
//   pelmo --help | --version
//
// Option letters may be combined (-ta, -se); an option's value is the next plain argument,
// never the rest of its own argument. After "--" every argument is a plain one. Parsing
// prints nothing: the caller turns the outcome into console output and an exit code.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/result.h"
#include "dates/serial_date.h"
#include "records/download_job.h"

namespace pelmo {

// A job with the default range: 30 days before `now` to 1 day before it, both with the
// time of day of `now`.
DownloadJob NewJob(SerialDate now);

enum class CommandLineAction {
  Run,             // the job is complete: code, output path and flags are set
  Usage,           // print the usage text and end with exitCode
  Version,         // print the version line (the usage text's second line), exit code 0
  StartDateError,  // "error!! start date", exit code 1
  EndDateError,    // "error!! end date", exit code 1
};

// Many codes in one run: the list file ("-" for standard input) and how many codes are
// downloaded at a time.
struct CodesOptions {
  std::string listPath;
  int jobs = 1;
};

struct CommandLineOutcome {
  CommandLineAction action = CommandLineAction::Run;
  int exitCode = 0;
  // For the standard error (see ReportFailure), before the usage text or after the date
  // error: why an argument was refused. Ok otherwise.
  Result refused;
  // With --codes; the job then holds the options shared by every code, its output path the
  // folder given with -o (empty without).
  std::optional<CodesOptions> codes;
};

// Reads `args` (without the program name) into `job`. A bad date stops with
// "pelmo: bad start date '2007/13/01': use YYYY/MM/DD or YYYY-MM-DD" and leaves the job's
// date untouched. The usage text with exit code 1 follows a line that says why: an unknown
// option ("pelmo: unknown option -x", which stops at once), no code ("pelmo: no code given",
// "pelmo: the code is empty"), a refused --host value
// ("pelmo: bad --host value 'ftp://x': only http and https", see CheckHostAddress), a
// --jobs value outside 1 to 8 ("pelmo: bad --jobs value '9': use 1 to 8"), a code given
// with --codes ("pelmo: a code cannot be given with --codes").
// "--help" asks for the usage text as -h does and wins over "--version".
CommandLineOutcome ParseCommandLine(std::span<const std::string_view> args, DownloadJob& job);

// The code as sent to the quote service: four characters without a '.' gain ".t".
std::string NormalizeCode(std::string_view argument);
// The code up to its first '.', followed by ".csv".
std::string DefaultOutputPath(std::string_view code);

}  // namespace pelmo
