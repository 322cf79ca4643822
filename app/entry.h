// The program entry: reads the command line into a job, answers -h and argument errors
// itself, finds and loads the existing output file, runs the download and returns the exit
// code. An output that cannot be read ("pelmo: cannot read PATH: REASON") or written, or
// that another run holds, ends the run before the download.
#pragma once

#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "app/output/output_target.h"
#include "dates/serial_date.h"
#include "records/download_job.h"

namespace pelmo {

// What a run takes from its surroundings. The program uses DefaultEntryContext(); tests
// supply their own console, clock and download step.
struct EntryContext {
  std::FILE* console = stdout;      // usage text and date errors
  std::FILE* errorStream = stderr;  // handed to the job for note rows
  SerialDate now;                   // the defaults of the date range are counted from it
  std::string versionText;          // second line of the usage text
  // Brings up the HTTP library before anything else; false when it cannot start. None
  // means that there is nothing to start.
  std::function<bool()> startHttp;
  // Releases what startHttp brought up, after the run.
  std::function<void()> stopHttp;
  // Runs the loaded job, writing to the output found before, and returns the exit code.
  std::function<int(DownloadJob&, const OutputTarget&)> download;
};

// The clock, the program file's version text, standard output and error, RunDownload.
EntryContext DefaultEntryContext();

// Runs pelmo on `args` (the arguments after the program name). Returns the exit code.
int RunPelmo(std::span<const std::string_view> args, const EntryContext& context);

// Runs pelmo on main's arguments with the default context.
int RunPelmo(int argc, char** argv);

// Reports that the HTTP library cannot start, on `console`. Returns the exit code, 1.
int ReportStartupFailure(std::FILE* console);

}  // namespace pelmo
