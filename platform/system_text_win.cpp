#include "platform/platform.h"

#include <io.h>
#include <windows.h>

#include "platform/wide_text_win.h"

namespace pelmo {

std::string_view FolderSeparators() {
  return "/\\";
}

std::string SystemErrorText(int error) {
  wchar_t* text = nullptr;
  // In the system's language, as other programs print it; in UTF-8, as every text inside
  // pelmo is, so that a line holding a path and a reason has one character set.
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason =
      length > 0 && text != nullptr ? Narrow(std::wstring_view(text, length)) : std::string();
  ::LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) {
    reason.pop_back();
  }
  return reason.empty() ? "error " + std::to_string(error) : reason;
}

void WriteMessage(std::FILE* stream, std::string_view text) {
  std::fflush(stream);
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || ::GetConsoleMode(handle, &mode) == 0) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
    return;
  }
  const std::wstring wide = Widen(text);
  DWORD written = 0;
  ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

}  // namespace pelmo
