#include "tools/quote_server/command_line.h"

#include <charconv>
#include <optional>

namespace pelmo::quote_server {

namespace {

std::optional<int> NumberIn(std::string_view text, int low, int high) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc{} || stop != end || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string_view>& args) {
  CommandLine result;
  ServerOptions& options = result.options;
  for (std::size_t i = 0; i < args.size() && result.error.empty(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "-h" || arg == "--help") {
      result.help = true;
      continue;
    }
    if (arg == "--crlf") {
      options.crlf = true;
      continue;
    }
    if (arg == "--close") {
      options.keepAlive = false;
      continue;
    }
    const bool takesValue = arg == "--bind" || arg == "--port" || arg == "--log" ||
                            arg == "--fail-first" || arg == "--cert" || arg == "--key";
    if (!takesValue) {
      result.error = "unknown option " + std::string(arg);
      break;
    }
    if (i + 1 >= args.size()) {
      result.error = std::string(arg) + " needs a value";
      break;
    }
    const std::string_view value = args[++i];
    if (arg == "--bind") {
      options.bindAddress = std::string(value);
    } else if (arg == "--log") {
      options.logPath = std::string(value);
    } else if (arg == "--cert") {
      options.certPath = std::string(value);
    } else if (arg == "--key") {
      options.keyPath = std::string(value);
    } else {
      const bool isPort = arg == "--port";
      const auto number = NumberIn(value, 0, isPort ? 65535 : 1000000000);
      if (!number) {
        result.error = std::string(arg) + " needs a number" +
                       (isPort ? " from 0 to 65535" : " of 0 or more") + ", not " +
                       std::string(value);
      } else {
        (isPort ? options.port : options.failFirst) = *number;
      }
    }
  }
  if (result.error.empty() && options.certPath.empty() != options.keyPath.empty()) {
    result.error = "--cert and --key go together";
  } else if (result.error.empty() && !options.certPath.empty() && options.failFirst > 0) {
    result.error = "--fail-first works over http only, not with --cert";
  }
  return result;
}

std::string HelpText() {
  return std::string(kUsage) +
         "Serves synthetic price and margin table pages over HTTP or HTTPS, for trying and\n"
         "testing pelmo without the real quote service.\n"
         "\n"
         "  --bind ADDR      address to listen on (default 127.0.0.1)\n"
         "  --port N         port to listen on (default 8730); 0 picks a free port\n"
         "  --log FILE       write the path and query of every request to FILE (created or\n"
         "                   truncated), one line each, in arrival order\n"
         "  --crlf           end the lines of every page with CR LF instead of LF\n"
         "  --fail-first N   close the first N connections without an answer (http only)\n"
         "  --close          answer one request per connection, then close it (by default a\n"
         "                   connection stays open for more, up to 5 s idle)\n"
         "  --cert FILE      serve https with this certificate chain (PEM); needs --key\n"
         "  --key FILE       the certificate's private key (PEM)\n"
         "  -h, --help       show this text\n"
         "\n"
         "The first line of standard output is the port number. SIGINT or SIGTERM stops.\n"
         "\n"
         "Pages (EUC-JP, newest row first, at most 50 rows):\n"
         "  /t?c=Y&a=M&b=D&f=Y&d=M&e=D&g=d|w|m&s=CODE&y=0&z=CODE   prices\n"
         "  /bt?s=CODE&a=M&b=D&c=Y&d=M&e=D&f=Y                       weekly margin balances\n"
         "a, b, c give the start's month, day and year; d, e, f the end's. A malformed\n"
         "query (a missing key, -1 or another impossible date part) gets 400, another\n"
         "path 404. Requests on connections closed by --fail-first are logged too.\n"
         "Every code has the same history on every run, from 1990 to today. The text up to\n"
         "the first '.' counts (7203.t and 7203 are alike); codes beginning with 0 have no\n"
         "data; codes whose number is divisible by 7 have stock splits.\n";
}

}  // namespace pelmo::quote_server
