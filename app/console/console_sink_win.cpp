#include "app/console/console_sink.h"

#include <windows.h>

#include <string>

#include "platform/wide_text_win.h"

namespace pelmo {
namespace {

constexpr UINT kShiftJis = 932;
constexpr std::size_t kDefaultWidth = 80;

}  // namespace

ConsoleOutput ConsoleOutputOf(void* console) {
  ConsoleOutput output;
  output.write = [console](std::wstring_view text) {
    // Nothing can be done about a console that cannot be written to.
    DWORD written = 0;
    ::WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  };
  output.width = [console]() -> std::size_t {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(console, &info) == 0 ||
        info.srWindow.Right <= info.srWindow.Left) {
      return kDefaultWidth;
    }
    return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
  };
  return output;
}

void ConsoleSink::Write(std::string_view bytes) {
  if (!bytes.empty()) {
    output_.write(Widen(bytes));
  }
}

void ConsoleSink::DrawStatus(std::string_view text) {
  output_.write(Blank() + Widen(text));
}

void ConsoleSink::EraseStatus() {
  output_.write(Blank());
}

// Spaces over every column the status line may use, the cursor back at its start. The
// last column stays untouched: writing it would wrap the cursor to the next line.
std::wstring ConsoleSink::Blank() const {
  const std::size_t width = Width();
  return L"\r" + std::wstring(width > 1 ? width - 1 : 0, L' ') + L"\r";
}

std::optional<std::string> ShiftJisToUtf8::FromShiftJis(std::string_view text) const {
  if (text.empty()) {
    return std::string();
  }
  const int size = static_cast<int>(text.size());
  const int length =
      ::MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (length <= 0) {
    return std::nullopt;
  }
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length);
  return Narrow(wide);
}

}  // namespace pelmo
