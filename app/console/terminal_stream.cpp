#include "app/console/terminal_stream.h"

#include <optional>
#include <utility>

namespace pelmo {
namespace {

std::string ShownLine(std::string_view line, const NoteConverter* converter) {
  if (converter == nullptr) {
    return std::string(line);
  }
  std::string_view text = line;
  if (text.ends_with('\n')) {
    text.remove_suffix(1);
  }
  if (text.ends_with('\r')) {
    text.remove_suffix(1);
  }
  std::optional<std::string> converted = converter->FromShiftJis(text);
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

}  // namespace

void TerminalLineFeed::Feed(std::string_view bytes) {
  pending_.append(bytes);
  // The complete lines of one write are shown together: the status line is erased and
  // drawn again once for them.
  std::string shown;
  std::size_t start = 0;
  for (std::size_t end = pending_.find('\n'); end != std::string::npos;
       end = pending_.find('\n', start)) {
    shown += ShownLine(std::string_view(pending_).substr(start, end + 1 - start), converter_);
    start = end + 1;
  }
  if (!shown.empty()) {
    display_.WriteAbove(shown);
  }
  pending_.erase(0, start);
}

void TerminalLineFeed::Finish() {
  if (!pending_.empty()) {
    display_.WriteAbove(ShownLine(pending_, converter_));
    pending_.clear();
  }
}

TerminalStream::TerminalStream(TerminalStream&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), afterClose_(std::move(other.afterClose_)) {}

void TerminalStream::reset() {
  if (file_ == nullptr) {
    return;
  }
  std::fclose(std::exchange(file_, nullptr));
  if (afterClose_) {
    std::exchange(afterClose_, {})();
  }
}

}  // namespace pelmo
