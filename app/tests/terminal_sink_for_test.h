// Test-only: a TerminalSink that records what it was asked to do, in a readable form:
// written bytes as they are, "[draw TEXT]" and "[erase]".
#pragma once

#include <mutex>
#include <string>
#include <utility>

#include "app/console/terminal_sink.h"

namespace pelmo {

class RecordingSinkForTest : public TerminalSink {
 public:
  explicit RecordingSinkForTest(std::size_t width = 80) : width_(width) {}

  void Write(std::string_view bytes) override { Record(std::string(bytes)); }
  void DrawStatus(std::string_view text) override { Record("[draw " + std::string(text) + "]"); }
  void EraseStatus() override { Record("[erase]"); }
  std::size_t Width() const override { return width_; }

  // What was recorded since the last call.
  std::string Take() {
    const std::lock_guard lock(mutex_);
    return std::exchange(recorded_, {});
  }

 private:
  void Record(const std::string& text) {
    const std::lock_guard lock(mutex_);
    recorded_ += text;
  }

  std::size_t width_;
  std::mutex mutex_;
  std::string recorded_;
};

}  // namespace pelmo
