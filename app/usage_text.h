// The console texts of the program: the usage text with its version line, and the
// line-by-line output that every console message uses.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace pelmo {

// Writes `line`, a line feed, and flushes, so that messages appear in order with the
// output of anything else writing to the same console.
void PrintLine(std::FILE* stream, std::string_view line);

// "2.0.2.0 (13 Mar 2007)": the version record of the program file at `programPath` (see
// ProgramVersion) and its modification date in local time, at most 127 characters; empty
// when the file cannot be examined or has no version record.
std::string VersionText(const char* programPath);

// The usage text, line by line, with the version line on its second line.
void PrintUsage(std::FILE* stream, std::string_view versionText);

// The version line alone: "pelmo 2.0.2.0 (13 Mar 2007)".
void PrintVersionLine(std::FILE* stream, std::string_view versionText);

}  // namespace pelmo
