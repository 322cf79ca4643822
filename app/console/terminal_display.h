// What a person sees on the terminal during a run: the lines pelmo writes to standard
// error, and below them one status line that is rewritten in place.
//
// The status line is cut to the line's width and drawn by a TerminalSink, the system's own
// way of rewriting a line. A line written while it is shown first erases it and then draws
// it again below the line, so that lines are never mixed with it. Its operations may be
// called from several threads.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "app/console/terminal_sink.h"

namespace pelmo {

class TerminalDisplay {
 public:
  using Clock = std::chrono::steady_clock;
  // A new status text is drawn at most this often; a terminal cannot be read faster.
  static constexpr std::chrono::milliseconds kRedrawInterval{250};

  // Draws on `sink`, which must outlive the display. `now` is the clock for the redraw
  // interval.
  explicit TerminalDisplay(TerminalSink& sink, std::function<Clock::time_point()> now = Clock::now);
  // Erases the status line.
  ~TerminalDisplay();
  TerminalDisplay(const TerminalDisplay&) = delete;
  TerminalDisplay& operator=(const TerminalDisplay&) = delete;

  // Sets the status text. It is drawn at once when no status line is shown or the last
  // drawing is kRedrawInterval old; otherwise it waits for the next drawing.
  void SetStatus(std::string_view text);

  // Erases the status line; a later SetStatus draws it again.
  void ClearStatus();

  // Writes `bytes` (whole lines, their line ends included) above the status line.
  void WriteAbove(std::string_view bytes);

  // Erases the status line, writes `lastLines` and shows nothing more: for a run that ends
  // while other threads may still report on it.
  void Finish(std::string_view lastLines);

 private:
  void Draw();
  void Erase();
  std::string Fitted() const;

  std::mutex mutex_;
  TerminalSink& sink_;
  std::function<Clock::time_point()> now_;
  std::string status_;
  bool shown_ = false;
  bool finished_ = false;
  Clock::time_point lastDrawn_;
};

}  // namespace pelmo
