#include "app/terminal_display.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "app/terminal_signal.h"
#include "base/ascii.h"

namespace pelmo {
namespace {

constexpr std::string_view kEraseLine = "\r\033[K";
constexpr std::size_t kDefaultWidth = 80;

// Failures are ignored: a terminal that cannot be written to shows nothing either way.
void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

std::size_t WidthOf(int fd) {
  struct winsize size {};
  if (::ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) {
    return kDefaultWidth;
  }
  return size.ws_col;
}

}  // namespace

TerminalDisplay::TerminalDisplay(int fd, std::function<Clock::time_point()> now)
    : fd_(fd), now_(std::move(now)) {}

TerminalDisplay::~TerminalDisplay() {
  const std::lock_guard lock(mutex_);
  Erase();
}

void TerminalDisplay::SetStatus(std::string_view text) {
  const std::lock_guard lock(mutex_);
  status_ = text;
  if (!shown_ || now_() - lastDrawn_ >= kRedrawInterval) {
    Draw();
  }
}

void TerminalDisplay::ClearStatus() {
  const std::lock_guard lock(mutex_);
  Erase();
  status_.clear();
}

void TerminalDisplay::WriteAbove(std::string_view bytes) {
  const std::lock_guard lock(mutex_);
  const bool wasShown = shown_;
  Erase();
  WriteAll(fd_, bytes);
  if (wasShown) {
    // Not counted as a new drawing: the text is the one already shown.
    const Clock::time_point drawn = lastDrawn_;
    Draw();
    lastDrawn_ = drawn;
  }
}

void TerminalDisplay::Draw() {
  SetShownStatusLine(fd_);
  shown_ = true;
  lastDrawn_ = now_();
  std::string line = "\r";
  line += Fitted();
  line += "\033[K";
  WriteAll(fd_, line);
}

void TerminalDisplay::Erase() {
  if (!shown_) {
    return;
  }
  shown_ = false;
  // Erased first, forgotten after: a signal in between erases once more, which is harmless.
  WriteAll(fd_, kEraseLine);
  SetShownStatusLine(-1);
}

// One column is left free: a line as wide as the terminal would wrap on some terminals, and
// the carriage return would then go back to the wrong line. Control bytes would move the
// cursor, so they become spaces.
std::string TerminalDisplay::Fitted() const {
  const std::size_t width = WidthOf(fd_);
  std::string text = status_.substr(0, width > 1 ? width - 1 : 0);
  ControlBytesToSpaces(text);
  return text;
}

}  // namespace pelmo
