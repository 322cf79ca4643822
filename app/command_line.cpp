#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string>
#include <utility>

#include "app/failure_message.h"

namespace pelmo {
namespace {

constexpr std::string_view kHostOption = "--host";
constexpr std::string_view kHelpOption = "--help";

// What the arguments seen so far ask for.
struct ParseState {
  bool startPending = false;
  bool endPending = false;
  bool periodPending = false;
  bool outputPending = false;
  bool help = false;
  bool tab = false;
  bool adjust = false;
  bool margin = false;
};

CommandLineOutcome Usage(int exitCode) {
  return {CommandLineAction::Usage, exitCode, {}};
}

CommandLineOutcome RefusedHost(Result refused) {
  const int exitCode = ExitCode(refused);
  return {CommandLineAction::Usage, exitCode, std::move(refused)};
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

// Applies the letters of one option cluster; false on a letter that is not an option.
bool ApplyOptionLetters(std::string_view letters, ParseState& state) {
  for (const char letter : letters) {
    const auto option =
        std::find_if(kOptionLetters.begin(), kOptionLetters.end(),
                     [letter](const OptionLetter& o) { return o.letter == letter; });
    if (option == kOptionLetters.end()) {
      return false;
    }
    state.*(option->flag) = true;
  }
  return true;
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
      return CommandLineOutcome{CommandLineAction::StartDateError, 1, {}};
    }
    state.startPending = false;
  } else if (state.endPending) {
    if (!ReadDate(argument, job.end)) {
      return CommandLineOutcome{CommandLineAction::EndDateError, 1, {}};
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
  }
  return std::nullopt;
}

CommandLineOutcome Finish(const ParseState& state, DownloadJob& job) {
  if (state.help) {
    return Usage(0);
  }
  if (job.code.empty()) {
    return Usage(1);
  }
  if (job.outputPath.empty()) {
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
  return {CommandLineAction::Run, 0, {}};
}

bool IsPort(std::string_view text) {
  if (text.empty() || text.size() > 5) {
    return false;
  }
  int port = 0;
  for (const char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) {
      return false;
    }
    port = port * 10 + (c - '0');
  }
  return port >= 1 && port <= 65535;
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

bool IsHostAddress(std::string_view host) {
  return HostAddressProblem(host).empty();
}

std::string HostAddressProblem(std::string_view host) {
  if (const auto scheme = host.find("://"); scheme != std::string_view::npos) {
    const std::string_view name = host.substr(0, scheme);
    if (name != "http" && name != "https") {
      return "only http and https";
    }
    host.remove_prefix(scheme + 3);
  }
  host = host.substr(0, host.find('/'));
  // A bracketed IPv6 address carries colons of its own.
  const auto close = host.rfind(']');
  const auto colon = host.rfind(':');
  if (colon != std::string_view::npos && (close == std::string_view::npos || colon > close)) {
    if (!IsPort(host.substr(colon + 1))) {
      return "the port must be a number from 1 to 65535";
    }
    host = host.substr(0, colon);
  }
  return host.empty() ? "no host name" : "";
}

CommandLineOutcome ParseCommandLine(std::span<const std::string_view> args, DownloadJob& job) {
  ParseState state;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view argument = args[i];
    if (argument == kHelpOption) {
      state.help = true;
    } else if (argument == kHostOption || argument.starts_with("--host=")) {
      std::string_view value;
      if (argument == kHostOption) {
        if (i + 1 == args.size()) {
          return RefusedHost(About(Failure(Reason::MissingValue), std::string(kHostOption)));
        }
        value = args[++i];
      } else {
        value = argument.substr(kHostOption.size() + 1);
      }
      if (const std::string problem = HostAddressProblem(value); !problem.empty()) {
        return RefusedHost(About(Failure(Reason::BadSetting, problem),
                                 std::string(kHostOption) + " value '" + std::string(value) + "'"));
      }
      job.host = value;
    } else if (argument.starts_with('-')) {
      if (!ApplyOptionLetters(argument.substr(1), state)) {
        return Usage(1);
      }
    } else if (auto outcome = ApplyPlainArgument(argument, state, job)) {
      return *outcome;
    }
  }
  return Finish(state, job);
}

}  // namespace pelmo
