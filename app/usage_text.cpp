#include "app/usage_text.h"

#include <array>
#include <cstdio>

#include "dates/serial_date.h"
#include "platform/platform.h"

namespace pelmo {
namespace {

constexpr std::size_t kVersionTextLimit = 127;

// The lines after the version line.
constexpr std::array<const char*, 17> kUsageBody = {
    "",
    "",
    "Usage: pelmo [-s startdate][-e enddate][-p d|w|m][-o outfile][-t][-a] code",
    "  options",
    "    -s startdate\tset start date",
    "    -e enddate \t\tset end date",
    "    -p d|w|m \t\tset output type d:daily w:weekly m:monthly",
    "    -o outfile \t\tset the output file",
    "    -t \t\t\toutput tab separated file",
    "    -a \t\t\toutput adjustment value",
    "    -z \t\t\toutput outstanding balances of margin trading",
    "    --host host[:port] \tquote service address (default 127.0.0.1:8730)",
    "    --version \t\tprint the version line and exit",
    "    --codes file \tdownload every code listed in file (- for standard input)",
    "    --jobs n \t\tcodes downloaded at a time with --codes, 1 to 8 (default 1)",
    "  date format: YYYY/MM/DD ex.2002/04/01",
    "",
};

}  // namespace

void PrintLine(std::FILE* stream, std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

std::string VersionText(const char* programPath) {
  if (programPath == nullptr) {
    return "";
  }
  const auto version = ProgramVersion(programPath);
  const auto modifiedTime = FileModifiedTime(programPath);
  if (!version || !modifiedTime) {
    return "";
  }
  const SerialDate modified = FromLocalTime(*modifiedTime);
  if (!modified.IsValid()) {
    return "";
  }
  char number[64];
  std::snprintf(number, sizeof number, "%d.%d.%d.%d", (*version)[0], (*version)[1], (*version)[2],
                (*version)[3]);
  std::string text = std::string(number) + " (" + Format(modified, "%d %b %Y") + ")";
  if (text.size() > kVersionTextLimit) {
    text.resize(kVersionTextLimit);
  }
  return text;
}

void PrintVersionLine(std::FILE* stream, std::string_view versionText) {
  PrintLine(stream, "pelmo " + std::string(versionText));
}

void PrintUsage(std::FILE* stream, std::string_view versionText) {
  PrintLine(stream, "");
  PrintVersionLine(stream, versionText);
  for (const char* line : kUsageBody) {
    PrintLine(stream, line);
  }
}

}  // namespace pelmo
