// What differs between POSIX systems and Windows, behind one small interface: the running
// program file, local time, and how a message reaches a person's console. Each function has a
// POSIX implementation (*_posix.cpp) and a Windows one (*_win.cpp); the build takes one.
//
// Paths and texts are bytes as the rest of the program holds them: on Windows, paths are
// UTF-8 and are turned into wide characters only at the system call.
#pragma once

#include <array>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace pelmo {

// The full path of the running program file; empty when it cannot be found.
std::string ProgramPath();

// The last-modification time of the file at `path`; nullopt when it cannot be examined.
std::optional<std::time_t> FileModifiedTime(const std::string& path);

// The four-part version of the program file at `path` (2.0.2.0): on Windows from the file's
// version record, elsewhere the version the program was built as. Nullopt when the file has
// no readable version record.
std::optional<std::array<int, 4>> ProgramVersion(const std::string& path);

// The characters that end a folder in a path: "/", and on Windows "\\" as well.
std::string_view FolderSeparators();

// The system's own words for the error code `error` (errno, or a Windows error code on
// Windows), without a line end.
std::string SystemErrorText(int error);

// Writes `text` (UTF-8) to `stream` and flushes it. On a Windows console it is written in
// wide characters, so that paths and reasons read right whatever the console's code page;
// anywhere else the bytes are written as they are. Failures are ignored: messages only inform.
void WriteMessage(std::FILE* stream, std::string_view text);

// std::fopen of `path` (UTF-8 on Windows, where the C library's own fopen would read it in
// the ANSI code page).
std::FILE* OpenFile(const std::string& path, const char* mode);

// `seconds` broken down in the local time zone; nullopt when it cannot be represented.
std::optional<std::tm> LocalTime(std::time_t seconds);

}  // namespace pelmo
