// The status line of a page request that keeps a person waiting: once a request has taken
// longer than kShowAfter, its status text is shown, however few windows the run has, and
// from the second attempt on it names the attempt ("..., attempt 3").
//
// A request blocks the main thread, so the line is drawn from a thread of this object's own.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "app/console/terminal_display.h"

namespace pelmo {

class WaitingStatus {
 public:
  static constexpr std::chrono::milliseconds kShowAfter{2000};

  // Draws on `display`; `attempt` is the number of the request's current attempt, set by
  // the page source (0 or 1: the first). Both must outlive the object.
  WaitingStatus(TerminalDisplay& display, const std::atomic<int>& attempt,
                std::chrono::milliseconds showAfter = kShowAfter);
  ~WaitingStatus();
  WaitingStatus(const WaitingStatus&) = delete;
  WaitingStatus& operator=(const WaitingStatus&) = delete;

  // A request with the status text `text` begins.
  void Begin(std::string text);
  // The request has ended; once this returns, nothing more is drawn for it.
  void End();

 private:
  void Watch();
  std::string Shown() const;

  TerminalDisplay& display_;
  const std::atomic<int>& attempt_;
  std::chrono::milliseconds showAfter_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string text_;
  bool waiting_ = false;
  bool stop_ = false;
  std::chrono::steady_clock::time_point began_;
  std::thread watcher_;
};

}  // namespace pelmo
