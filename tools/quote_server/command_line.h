// The command line of quote-server.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/quote_server/quote_server.h"

namespace pelmo::quote_server {

inline constexpr const char* kUsage =
    "Usage: quote-server [--bind ADDR] [--port N] [--log FILE] [--crlf] [--fail-first N]\n"
    "                    [--close] [--cert FILE --key FILE]\n";

struct CommandLine {
  ServerOptions options;
  bool help = false;
  std::string error;  // set when the arguments are not understood
};

// Reads the arguments that follow the program name.
CommandLine ParseCommandLine(const std::vector<std::string_view>& args);

// The text of --help.
std::string HelpText();

}  // namespace pelmo::quote_server
