// The TerminalSink of a POSIX terminal: bytes written to a file descriptor, the status line
// drawn as a carriage return, the text and "erase to the end of the line", so that a shorter
// text leaves nothing of a longer one. A shown status line is recorded for the signal
// handlers (app/console/terminal_signal.h), which erase it when a signal ends pelmo.
#pragma once

#include "app/console/terminal_sink.h"

namespace pelmo {

class FdTerminalSink : public TerminalSink {
 public:
  // Writes to `fd`, a terminal, which must stay open while the object lives.
  explicit FdTerminalSink(int fd) : fd_(fd) {}

  void Write(std::string_view bytes) override;
  void DrawStatus(std::string_view text) override;
  void EraseStatus() override;
  // The terminal's columns; 80 when it cannot tell.
  std::size_t Width() const override;

 private:
  int fd_;
};

}  // namespace pelmo
