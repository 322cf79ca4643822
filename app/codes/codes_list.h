// The list of codes of a --codes run: one code per line, blank lines and lines beginning
// with '#' skipped, spaces, tabs and a carriage return around a code trimmed. The lines
// come from a file that anyone may have written, so a code that could name a file outside
// the output folder, or none, is refused for its line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace pelmo {

struct ListedCode {
  std::size_t line = 0;  // counted from 1
  std::string code;      // as written on the line, trimmed
  // Why the code is refused ("pelmo: line 12: bad code '../x'" without the line end);
  // empty for a code that is downloaded.
  std::string refusal;
};

// The codes of the list text `text`, in order.
std::vector<ListedCode> ReadCodeList(std::string_view text);

// True when `code` may be downloaded: no '/', '\', control byte, and text before its
// first '.'.
bool IsSafeCode(std::string_view code);

// `code` with its control bytes and backslashes written as \xNN, so that it stays on one
// line of a message.
std::string Printable(std::string_view code);

// Reads the list at `path`, or standard input for "-", into `text`. Fails with the line
// that says why: "cannot read codes.txt: No such file or directory", "no codes in codes.txt".
Result LoadCodeList(const std::string& path, std::vector<ListedCode>& codes);

}  // namespace pelmo
