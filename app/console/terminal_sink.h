// Where a TerminalDisplay draws: the system's primitives for lines written one after another
// and one status line below them that is rewritten in place. A POSIX terminal takes bytes and
// control sequences (app/console/terminal_fd_sink.h); a Windows console takes wide characters
// (app/console/console_sink.h). The display calls them under its own lock, one at a time.
#pragma once

#include <cstddef>
#include <string_view>

namespace pelmo {

class TerminalSink {
 public:
  virtual ~TerminalSink() = default;

  // Writes `bytes`, whole lines, at the start of the line the cursor is on.
  virtual void Write(std::string_view bytes) = 0;

  // Shows `text`, which fits in Width() - 1 columns and holds no control bytes, as the
  // status line, in place of what that line showed.
  virtual void DrawStatus(std::string_view text) = 0;

  // Erases the status line and leaves the cursor at its start.
  virtual void EraseStatus() = 0;

  // The columns of the line.
  virtual std::size_t Width() const = 0;
};

}  // namespace pelmo
