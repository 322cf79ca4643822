#include "platform/platform.h"

#include <windows.h>

namespace pelmo {

std::string_view FolderSeparators() {
  return "/\\";
}

std::string SystemErrorText(int error) {
  char* text = nullptr;
  // In the system's language and its ANSI code page, as other console programs print it.
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason = length > 0 && text != nullptr ? std::string(text, length) : std::string();
  ::LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) {
    reason.pop_back();
  }
  return reason.empty() ? "error " + std::to_string(error) : reason;
}

}  // namespace pelmo
