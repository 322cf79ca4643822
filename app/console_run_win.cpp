#include "app/download_for_person.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "app/download_driver.h"

namespace pelmo {
namespace {

// Shift_JIS, the character set of the note rows.
constexpr UINT kShiftJis = 932;
constexpr unsigned kPipeSize = 64 * 1024;

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return ::GetConsoleMode(handle, &mode) != 0;
}

// Writes Shift_JIS `text` on the console in wide characters, so that it reads right
// whatever code page the console has.
void ShowOnConsole(HANDLE console, std::string_view text) {
  if (text.empty()) {
    return;
  }
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(kShiftJis, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(kShiftJis, 0, text.data(), size, wide.data(), length);
  DWORD written = 0;
  ::WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

// Reads what is written to the pipe's other end and shows it line by line, never a part of a
// double-byte character alone; a last line without a line end is shown at the end.
void ShowLines(int readEnd, HANDLE console) {
  std::string pending;
  char chunk[4096];
  for (int got; (got = ::_read(readEnd, chunk, sizeof chunk)) > 0;) {
    pending.append(chunk, static_cast<std::size_t>(got));
    const std::size_t end = pending.rfind('\n');
    if (end != std::string::npos) {
      ShowOnConsole(console, std::string_view(pending).substr(0, end + 1));
      pending.erase(0, end + 1);
    }
  }
  ShowOnConsole(console, pending);
  ::_close(readEnd);
}

}  // namespace

int RunDownloadForPerson(DownloadJob& job, const OutputTarget& output) {
  const HANDLE console = ::GetStdHandle(STD_ERROR_HANDLE);
  int ends[2] = {-1, -1};
  if (job.errorStream != stderr || !IsConsole(console) ||
      ::_pipe(ends, kPipeSize, _O_BINARY) != 0) {
    return RunDownload(job, output);
  }
  std::FILE* notes = ::_fdopen(ends[1], "wb");
  if (notes == nullptr) {
    ::_close(ends[0]);
    ::_close(ends[1]);
    return RunDownload(job, output);
  }
  std::thread shower(ShowLines, ends[0], console);
  std::FILE* const errorStream = std::exchange(job.errorStream, notes);
  const int exitCode = RunDownload(job, output);
  job.errorStream = errorStream;
  // The end of the pipe lets the reader show the last line and stop.
  std::fclose(notes);
  shower.join();
  return exitCode;
}

}  // namespace pelmo
