#include "app/codes/codes_list.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace pelmo {
namespace {

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

std::string_view Trimmed(std::string_view line) {
  constexpr std::string_view kSpace = " \t\r";
  const std::size_t first = line.find_first_not_of(kSpace);
  if (first == std::string_view::npos) {
    return {};
  }
  return line.substr(first, line.find_last_not_of(kSpace) + 1 - first);
}

// Everything `file` holds, or the errno of the read that failed.
int ReadAll(std::FILE* file, std::string& text) {
  char chunk[8192];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
    text.append(chunk, got);
  }
  return std::ferror(file) != 0 ? (errno != 0 ? errno : EIO) : 0;
}

Result ListFailure(std::string message) {
  return Failure(Reason::BadArgument, std::move(message));
}

}  // namespace

bool IsSafeCode(std::string_view code) {
  for (const char c : code) {
    if (c == '/' || c == '\\' || IsControl(c)) {
      return false;
    }
  }
  return !code.empty() && code.front() != '.';
}

std::string Printable(std::string_view code) {
  std::string shown;
  for (const char c : code) {
    if (IsControl(c) || c == '\\') {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
      shown += escaped;
    } else {
      shown += c;
    }
  }
  return shown;
}

std::vector<ListedCode> ReadCodeList(std::string_view text) {
  std::vector<ListedCode> codes;
  std::size_t number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = Trimmed(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (line.empty() || line.front() == '#') {
      continue;
    }
    ListedCode listed{number, std::string(line), {}};
    if (!IsSafeCode(line)) {
      listed.refusal =
          "pelmo: line " + std::to_string(number) + ": bad code '" + Printable(line) + "'";
    }
    codes.push_back(std::move(listed));
  }
  return codes;
}

Result LoadCodeList(const std::string& path, std::vector<ListedCode>& codes) {
  const bool standardInput = path == "-";
  const std::string named = standardInput ? "standard input" : path;
  errno = 0;
  std::FILE* file = standardInput ? stdin : OpenFile(path, "rb");
  if (file == nullptr) {
    return ListFailure("cannot read " + named + ": " + std::strerror(errno != 0 ? errno : EIO));
  }
  std::string text;
  const int error = ReadAll(file, text);
  if (!standardInput) {
    std::fclose(file);
  }
  if (error != 0) {
    return ListFailure("cannot read " + named + ": " + std::strerror(error));
  }
  codes = ReadCodeList(text);
  if (codes.empty()) {
    return ListFailure("no codes in " + named);
  }
  return {};
}

}  // namespace pelmo
