#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string>
#include <utility>

#include "app/failure_message.h"
#include "net/host_address.h"

namespace pelmo {
namespace {

constexpr std::string_view kHostOption = "--host";
constexpr std::string_view kHelpOption = "--help";
constexpr std::string_view kVersionOption = "--version";
constexpr std::string_view kCodesOption = "--codes";
constexpr std::string_view kJobsOption = "--jobs";
constexpr int kMostJobs = 8;
// Ends the options: every later argument is a plain one, even when it begins with '-'.
constexpr std::string_view kEndOfOptions = "--";
constexpr std::string_view kDateFormats = "use YYYY/MM/DD or YYYY-MM-DD";

// What the arguments seen so far ask for.
struct ParseState {
  bool startPending = false;
  bool endPending = false;
  bool periodPending = false;
  bool outputPending = false;
  bool help = false;
  bool version = false;
  bool optionsEnded = false;
  bool codeGiven = false;  // a plain argument became the code, perhaps an empty one
  bool tab = false;
  bool adjust = false;
  bool margin = false;
  std::optional<std::string> codesList;
  int jobs = 1;
};

// The usage text after a line that says what was wrong.
CommandLineOutcome Refused(Result refused) {
  const int exitCode = ExitCode(refused);
  return {CommandLineAction::Usage, exitCode, std::move(refused), {}};
}

CommandLineOutcome BadArgument(std::string message) {
  return Refused(Failure(Reason::BadArgument, std::move(message)));
}

CommandLineOutcome BadDate(CommandLineAction action, std::string_view which,
                           std::string_view argument) {
  Result refused = About(Failure(Reason::BadSetting, std::string(kDateFormats)),
                         std::string(which) + " '" + std::string(argument) + "'");
  return {action, ExitCode(refused), std::move(refused), {}};
}

// The option letters and the flag each one sets.
struct OptionLetter {
  char letter;
  bool ParseState::*flag;
};

constexpr std::array<OptionLetter, 8> kOptionLetters = {{
    {'s', &ParseState::startPending},
    {'e', &ParseState::endPending},
    {'p', &ParseState::periodPending},
    {'o', &ParseState::outputPending},
    {'t', &ParseState::tab},
    {'a', &ParseState::adjust},
    {'z', &ParseState::margin},
    {'h', &ParseState::help},
}};

// Applies the letters of the option cluster `argument`; the refusal of its first letter
// that is not an option ("unknown option -x", "unknown option -w in -pw").
std::optional<CommandLineOutcome> ApplyOptionLetters(std::string_view argument, ParseState& state) {
  for (const char letter : argument.substr(1)) {
    const auto option =
        std::find_if(kOptionLetters.begin(), kOptionLetters.end(),
                     [letter](const OptionLetter& o) { return o.letter == letter; });
    if (option == kOptionLetters.end()) {
      std::string message = "unknown option -" + std::string(1, letter);
      if (argument.size() > 2) {
        message += " in " + std::string(argument);
      }
      return BadArgument(std::move(message));
    }
    state.*(option->flag) = true;
  }
  return std::nullopt;
}

Period PeriodOf(std::string_view argument) {
  const char letter = argument.empty() ? '\0' : argument.front();
  switch (letter) {
    case 'w':
      return Period::Weekly;
    case 'm':
      return Period::Monthly;
    default:
      return Period::Daily;
  }
}

bool ReadDate(std::string_view argument, CalendarTime& field) {
  const auto time = ToCalendar(Parse(argument, TimeOfDay::Keep));
  if (!time) {
    return false;
  }
  field = *time;
  return true;
}

// Gives a plain argument to the first pending value, else takes it as the code.
std::optional<CommandLineOutcome> ApplyPlainArgument(std::string_view argument, ParseState& state,
                                                     DownloadJob& job) {
  if (state.startPending) {
    if (!ReadDate(argument, job.start)) {
      return BadDate(CommandLineAction::StartDateError, "start date", argument);
    }
    state.startPending = false;
  } else if (state.endPending) {
    if (!ReadDate(argument, job.end)) {
      return BadDate(CommandLineAction::EndDateError, "end date", argument);
    }
    state.endPending = false;
  } else if (state.periodPending) {
    job.period = PeriodOf(argument);
    state.periodPending = false;
  } else if (state.outputPending) {
    job.outputPath = argument;
    state.outputPending = false;
  } else {
    job.code = NormalizeCode(argument);
    state.codeGiven = true;
  }
  return std::nullopt;
}

CommandLineOutcome Finish(const ParseState& state, DownloadJob& job) {
  if (state.help) {
    return {CommandLineAction::Usage, 0, {}, {}};
  }
  if (state.version) {
    return {CommandLineAction::Version, 0, {}, {}};
  }
  if (state.codesList) {
    if (state.codeGiven) {
      return BadArgument("a code cannot be given with --codes");
    }
  } else if (job.code.empty()) {
    return BadArgument(state.codeGiven ? "the code is empty" : "no code given");
  }
  if (job.outputPath.empty() && !state.codesList) {
    job.outputPath = DefaultOutputPath(job.code);
  }
  job.tabSeparated = state.tab;
  job.adjust = state.adjust;
  job.margin = state.margin;
  // Margin tables are weekly and have nothing to adjust.
  if (job.margin) {
    job.adjust = false;
    job.period = Period::Weekly;
  }
  CommandLineOutcome run{CommandLineAction::Run, 0, {}, {}};
  if (state.codesList) {
    run.codes = CodesOptions{*state.codesList, state.jobs};
  }
  return run;
}

// The value of the long option `name` at args[i], given as "NAME VALUE" (which moves i on
// to the value) or "NAME=VALUE"; a refusal when it is the last argument.
std::optional<CommandLineOutcome> OptionValue(std::span<const std::string_view> args,
                                              std::size_t& i, std::string_view name,
                                              std::string_view& value) {
  if (args[i] == name) {
    if (i + 1 == args.size()) {
      return Refused(About(Failure(Reason::MissingValue), std::string(name)));
    }
    value = args[++i];
  } else {
    value = args[i].substr(name.size() + 1);
  }
  return std::nullopt;
}

std::optional<CommandLineOutcome> ReadCodesOptions(std::span<const std::string_view> args,
                                                   std::size_t& i, ParseState& state) {
  const bool codes = args[i] == kCodesOption || args[i].starts_with("--codes=");
  std::string_view value;
  if (auto missing = OptionValue(args, i, codes ? kCodesOption : kJobsOption, value)) {
    return missing;
  }
  if (codes) {
    state.codesList = std::string(value);
    return std::nullopt;
  }
  const bool digit = value.size() == 1 && value[0] >= '1' && value[0] <= '0' + kMostJobs;
  if (!digit) {
    return Refused(About(Failure(Reason::BadSetting, "use 1 to " + std::to_string(kMostJobs)),
                         std::string(kJobsOption) + " value '" + std::string(value) + "'"));
  }
  state.jobs = value[0] - '0';
  return std::nullopt;
}

// Reads the value of --host at args[i] ("--host VALUE" moves i on to the value) into the
// job, or refuses it.
std::optional<CommandLineOutcome> ReadHost(std::span<const std::string_view> args, std::size_t& i,
                                           DownloadJob& job) {
  std::string_view value;
  if (args[i] == kHostOption) {
    if (i + 1 == args.size()) {
      return Refused(About(Failure(Reason::MissingValue), std::string(kHostOption)));
    }
    value = args[++i];
  } else {
    value = args[i].substr(kHostOption.size() + 1);
  }
  HostAddress host = CheckHostAddress(value);
  if (!host.problem.empty()) {
    return Refused(About(Failure(Reason::BadSetting, std::move(host.problem)),
                         std::string(kHostOption) + " value '" + std::string(value) + "'"));
  }
  job.host = std::move(host.value);
  return std::nullopt;
}

}  // namespace

DownloadJob NewJob(SerialDate now) {
  DownloadJob job;
  job.start = ToCalendar(SubtractDays(now, 30.0)).value_or(CalendarTime{});
  job.end = ToCalendar(SubtractDays(now, 1.0)).value_or(CalendarTime{});
  return job;
}

std::string NormalizeCode(std::string_view argument) {
  std::string code(argument);
  if (code.find('.') == std::string::npos && code.size() == 4) {
    code += ".t";
  }
  return code;
}

std::string DefaultOutputPath(std::string_view code) {
  return std::string(code.substr(0, code.find('.'))) + ".csv";
}

CommandLineOutcome ParseCommandLine(std::span<const std::string_view> args, DownloadJob& job) {
  ParseState state;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view argument = args[i];
    std::optional<CommandLineOutcome> stop;
    if (state.optionsEnded || !argument.starts_with('-')) {
      stop = ApplyPlainArgument(argument, state, job);
    } else if (argument == "-") {
      // A cluster without letters.
    } else if (argument == kEndOfOptions) {
      state.optionsEnded = true;
    } else if (argument == kHelpOption) {
      state.help = true;
    } else if (argument == kVersionOption) {
      state.version = true;
    } else if (argument == kHostOption || argument.starts_with("--host=")) {
      stop = ReadHost(args, i, job);
    } else if (argument == kCodesOption || argument.starts_with("--codes=") ||
               argument == kJobsOption || argument.starts_with("--jobs=")) {
      stop = ReadCodesOptions(args, i, state);
    } else if (argument.starts_with("--")) {
      stop = BadArgument("unknown option " + std::string(argument));
    } else {
      stop = ApplyOptionLetters(argument, state);
    }
    if (stop) {
      return *stop;
    }
  }
  return Finish(state, job);
}

}  // namespace pelmo
