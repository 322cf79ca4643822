// Standard-error streams for a run on a terminal or a console: what pelmo writes to them
// goes through the TerminalDisplay, so that it appears above the status line.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "app/console/note_converter.h"
#include "app/console/terminal_display.h"

namespace pelmo {

// Hands the complete lines of the bytes it is fed to `display`, never a part of one. With
// `converter`, the lines are Shift_JIS note rows: a line that `converter` converts is shown
// converted, with its CR LF as a plain line feed and control bytes as spaces; any other line,
// and every line without `converter`, is shown byte for byte. Both objects must outlive it.
class TerminalLineFeed {
 public:
  TerminalLineFeed(TerminalDisplay& display, const NoteConverter* converter)
      : display_(display), converter_(converter) {}

  void Feed(std::string_view bytes);
  // Shows a last line without a line end.
  void Finish();

 private:
  TerminalDisplay& display_;
  const NoteConverter* converter_;
  std::string pending_;  // bytes after the last line end seen
};

// An open stream, closed when its owner goes; null when it could not be made.
class TerminalStream {
 public:
  TerminalStream() = default;
  // Owns `file`; `afterClose` runs once it is closed.
  explicit TerminalStream(std::FILE* file, std::function<void()> afterClose = {})
      : file_(file), afterClose_(std::move(afterClose)) {}
  TerminalStream(TerminalStream&& other) noexcept;
  TerminalStream& operator=(TerminalStream&&) = delete;
  TerminalStream(const TerminalStream&) = delete;
  TerminalStream& operator=(const TerminalStream&) = delete;
  ~TerminalStream() { reset(); }

  std::FILE* get() const { return file_; }
  explicit operator bool() const { return file_ != nullptr; }
  // Closes the stream; once this returns, every line written to it has been shown.
  void reset();

 private:
  std::FILE* file_ = nullptr;
  std::function<void()> afterClose_;
};

// A stream whose bytes go through a TerminalLineFeed of `display` and `converter`; a last
// line without a line end is shown when the stream is closed. Both objects must outlive the
// stream. Null if the stream cannot be made.
TerminalStream OpenTerminalStream(TerminalDisplay& display, const NoteConverter* converter);

}  // namespace pelmo
