// The time a page fetch goes by: when it is, and the pauses between attempts.
//
// The program uses the steady clock and really sleeps; tests give a clock of their own, so
// that a fetch's pauses and bounds can be checked without waiting them out.
#pragma once

#include <chrono>

namespace pelmo {

class FetchClock {
 public:
  using Duration = std::chrono::milliseconds;
  using TimePoint = std::chrono::time_point<std::chrono::steady_clock, Duration>;

  virtual ~FetchClock() = default;
  virtual TimePoint Now() = 0;
  // Returns after `pause`.
  virtual void Pause(Duration pause) = 0;
};

// The steady clock, and real sleeps.
class SteadyFetchClock : public FetchClock {
 public:
  TimePoint Now() override;
  void Pause(Duration pause) override;
};

}  // namespace pelmo
