#include "net/fetch_clock.h"

#include <thread>

namespace pelmo {

FetchClock::TimePoint SteadyFetchClock::Now() {
  return std::chrono::time_point_cast<Duration>(std::chrono::steady_clock::now());
}

void SteadyFetchClock::Pause(Duration pause) {
  std::this_thread::sleep_for(pause);
}

}  // namespace pelmo
