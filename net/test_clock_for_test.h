// Test-only clocks for a fetch, so that no test waits out the pauses between attempts.
#pragma once

#include <chrono>
#include <vector>

#include "net/fetch_clock.h"

namespace pelmo::net_test {

// Time stands still but for the pauses, which are recorded and pass at once, and what a test
// moves on with Advance.
class RecordingClock : public FetchClock {
 public:
  TimePoint Now() override { return now_; }
  void Pause(Duration pause) override {
    pauses.push_back(pause);
    now_ += pause;
  }
  void Advance(Duration by) { now_ += by; }

  std::vector<Duration> pauses;

 private:
  TimePoint now_{};
};

// Real time run fast: each real millisecond counts as `scale` of them, so that the bounds
// on an attempt and on a page pass in a fraction of a second; pauses pass at once.
class RushingClock : public RecordingClock {
 public:
  explicit RushingClock(int scale) : scale_(scale) {}
  TimePoint Now() override {
    const auto real =
        std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now() - start_);
    return RecordingClock::Now() + real * scale_;
  }

 private:
  int scale_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace pelmo::net_test
