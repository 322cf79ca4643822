#include "app/terminal_stream.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pelmo {
namespace {

struct StreamState {
  TerminalDisplay* display;
  const TerminalCharset* charset;
  std::string pending;  // bytes after the last line end seen
};

std::string ShownLine(std::string_view line, const TerminalCharset* charset) {
  if (charset == nullptr) {
    return std::string(line);
  }
  std::string_view text = line;
  if (text.ends_with('\n')) {
    text.remove_suffix(1);
  }
  if (text.ends_with('\r')) {
    text.remove_suffix(1);
  }
  std::optional<std::string> converted = charset->FromShiftJis(text);
  if (!converted) {
    return std::string(line);
  }
  for (char& c : *converted) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
      c = ' ';
    }
  }
  return *converted + (line.ends_with('\n') ? "\n" : "");
}

ssize_t WriteToDisplay(void* cookie, const char* data, std::size_t size) {
  auto& state = *static_cast<StreamState*>(cookie);
  state.pending.append(data, size);
  // The complete lines of one write are shown together: the status line is erased and
  // drawn again once for them.
  std::string shown;
  std::size_t start = 0;
  for (std::size_t end = state.pending.find('\n'); end != std::string::npos;
       end = state.pending.find('\n', start)) {
    shown +=
        ShownLine(std::string_view(state.pending).substr(start, end + 1 - start), state.charset);
    start = end + 1;
  }
  if (!shown.empty()) {
    state.display->WriteAbove(shown);
  }
  state.pending.erase(0, start);
  return static_cast<ssize_t>(size);
}

int CloseDisplayStream(void* cookie) {
  // The stream owned the state since it was opened.
  const std::unique_ptr<StreamState> state(static_cast<StreamState*>(cookie));
  if (!state->pending.empty()) {
    state->display->WriteAbove(ShownLine(state->pending, state->charset));
  }
  return 0;
}

}  // namespace

TerminalStream OpenTerminalStream(TerminalDisplay& display, const TerminalCharset* charset) {
  auto state = std::make_unique<StreamState>(StreamState{&display, charset, {}});
  cookie_io_functions_t functions{};
  functions.write = WriteToDisplay;
  functions.close = CloseDisplayStream;
  std::FILE* file = ::fopencookie(state.get(), "w", functions);
  if (file == nullptr) {
    return nullptr;
  }
  state.release();
  return TerminalStream(file);
}

}  // namespace pelmo
