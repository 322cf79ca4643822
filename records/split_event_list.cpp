#include "records/split_event_list.h"

#include <bit>
#include <cmath>

namespace pelmo {

bool SplitEventList::Add(const SplitEvent& event) {
  const bool comparable = event.date.status != DateStatus::Invalid &&
                          !std::isnan(event.date.value) && !std::isnan(event.sharesBefore) &&
                          !std::isnan(event.sharesAfter);
  if (comparable) {
    // Adding zero turns -0 into 0, which compares equal to it; null dates all match.
    const double dateValue = event.date.IsValid() ? event.date.value + 0.0 : 0.0;
    const Key key{static_cast<int>(event.date.status), std::bit_cast<std::uint64_t>(dateValue),
                  std::bit_cast<std::uint32_t>(event.sharesBefore + 0.0f),
                  std::bit_cast<std::uint32_t>(event.sharesAfter + 0.0f)};
    if (!held_.insert(key).second) {
      return false;
    }
  }
  events_.push_back(event);
  return true;
}

void SplitEventList::Clear() {
  events_.clear();
  held_.clear();
}

}  // namespace pelmo
