#include "app/console/terminal_wait.h"

#include <utility>

namespace pelmo {

WaitingStatus::WaitingStatus(TerminalDisplay& display, const std::atomic<int>& attempt,
                             std::chrono::milliseconds showAfter)
    : display_(display), attempt_(attempt), showAfter_(showAfter), watcher_([this] { Watch(); }) {}

WaitingStatus::~WaitingStatus() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_one();
  watcher_.join();
}

void WaitingStatus::Begin(std::string text) {
  {
    const std::lock_guard lock(mutex_);
    text_ = std::move(text);
    waiting_ = true;
    began_ = std::chrono::steady_clock::now();
  }
  changed_.notify_one();
}

void WaitingStatus::End() {
  const std::lock_guard lock(mutex_);
  waiting_ = false;
}

std::string WaitingStatus::Shown() const {
  const int attempt = attempt_.load();
  return attempt > 1 ? text_ + ", attempt " + std::to_string(attempt) : text_;
}

// Drawn while the lock is held, so that End cannot return while a drawing is under way.
void WaitingStatus::Watch() {
  std::unique_lock lock(mutex_);
  std::string drawn;
  while (!stop_) {
    if (!waiting_) {
      drawn.clear();
      changed_.wait(lock);
      continue;
    }
    const auto due = began_ + showAfter_;
    if (std::chrono::steady_clock::now() < due) {
      changed_.wait_until(lock, due);
      continue;
    }
    if (std::string shown = Shown(); shown != drawn) {
      display_.SetStatus(shown);
      drawn = std::move(shown);
    }
    changed_.wait_for(lock, TerminalDisplay::kRedrawInterval);
  }
}

}  // namespace pelmo
