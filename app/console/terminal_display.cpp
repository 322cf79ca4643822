#include "app/console/terminal_display.h"

#include <utility>

#include "base/ascii.h"

namespace pelmo {

TerminalDisplay::TerminalDisplay(TerminalSink& sink, std::function<Clock::time_point()> now)
    : sink_(sink), now_(std::move(now)) {}

TerminalDisplay::~TerminalDisplay() {
  const std::lock_guard lock(mutex_);
  Erase();
}

void TerminalDisplay::SetStatus(std::string_view text) {
  const std::lock_guard lock(mutex_);
  status_ = text;
  if (!finished_ && (!shown_ || now_() - lastDrawn_ >= kRedrawInterval)) {
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
  if (finished_) {
    return;
  }
  const bool wasShown = shown_;
  Erase();
  sink_.Write(bytes);
  if (wasShown) {
    // Not counted as a new drawing: the text is the one already shown.
    const Clock::time_point drawn = lastDrawn_;
    Draw();
    lastDrawn_ = drawn;
  }
}

void TerminalDisplay::Finish(std::string_view lastLines) {
  const std::lock_guard lock(mutex_);
  if (finished_) {
    return;
  }
  Erase();
  sink_.Write(lastLines);
  finished_ = true;
}

void TerminalDisplay::Draw() {
  shown_ = true;
  lastDrawn_ = now_();
  sink_.DrawStatus(Fitted());
}

void TerminalDisplay::Erase() {
  if (!shown_) {
    return;
  }
  shown_ = false;
  sink_.EraseStatus();
}

// One column is left free: a line as wide as the terminal would wrap on some terminals, and
// the carriage return would then go back to the wrong line. Control bytes would move the
// cursor, so they become spaces.
std::string TerminalDisplay::Fitted() const {
  const std::size_t width = sink_.Width();
  std::string text = status_.substr(0, width > 1 ? width - 1 : 0);
  ControlBytesToSpaces(text);
  return text;
}

}  // namespace pelmo
