#include "app/entry.h"

#include <vector>

#include "app/codes/codes_run.h"
#include "app/command_line.h"
#include "app/console/download_for_person.h"
#include "app/download/download_driver.h"
#include "app/failure_message.h"
#include "app/output/existing_file.h"
#include "app/output/signal_cleanup.h"
#include "app/usage_text.h"
#include "net/http_global_init.h"
#include "platform/platform.h"

namespace pelmo {
namespace {

// Parses, loads and downloads; the caller has brought up the HTTP library.
int RunJob(std::span<const std::string_view> args, const EntryContext& context) {
  DownloadJob job = NewJob(context.now);
  const CommandLineOutcome outcome = ParseCommandLine(args, job);
  switch (outcome.action) {
    case CommandLineAction::Usage:
      ReportFailure(context.errorStream, outcome.refused);
      PrintUsage(context.console, context.versionText);
      return outcome.exitCode;
    case CommandLineAction::Version:
      PrintVersionLine(context.console, context.versionText);
      return outcome.exitCode;
    // The standard-output line is the one scripts read; the other says which value and why.
    case CommandLineAction::StartDateError:
      PrintLine(context.console, "error!! start date");
      ReportFailure(context.errorStream, outcome.refused);
      return outcome.exitCode;
    case CommandLineAction::EndDateError:
      PrintLine(context.console, "error!! end date");
      ReportFailure(context.errorStream, outcome.refused);
      return outcome.exitCode;
    case CommandLineAction::Run:
      break;
  }
  if (outcome.codes) {
    return RunCodeList(job, *outcome.codes, context.errorStream,
                       [&context] { PrintUsage(context.console, context.versionText); });
  }
  job.errorStream = context.errorStream;
  OutputTarget output;
  const Result found = OpenAndReadOutput(job, output);
  if (!found.ok()) {
    ReportFailure(context.errorStream, found);
    return ExitCode(found);
  }
  return context.download ? context.download(job, output) : 0;
}

}  // namespace

EntryContext DefaultEntryContext() {
  EntryContext context;
  context.now = Now();
  context.versionText = VersionText(ProgramPath().c_str());
  context.download = [](DownloadJob& job, const OutputTarget& output) {
    return RunDownloadForPerson(job, output);
  };
  return context;
}

int ReportStartupFailure(std::FILE* console) {
  PrintLine(console, "致命的なエラー : HTTP ライブラリの初期化ができませんでした。");
  return 1;
}

int RunPelmo(std::span<const std::string_view> args, const EntryContext& context) {
  if (context.startHttp && !context.startHttp()) {
    return ReportStartupFailure(context.console);
  }
  const int exitCode = RunJob(args, context);
  if (context.stopHttp) {
    context.stopHttp();
  }
  return exitCode;
}

int RunPelmo(int argc, char** argv) {
  SetUpSignals();
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  // Set up once, before anything else, and kept until the last fetch has ended.
  const HttpGlobalInit http;
  EntryContext context = DefaultEntryContext();
  context.startHttp = [&http] { return http.Succeeded(); };
  return RunPelmo(args, context);
}

}  // namespace pelmo
