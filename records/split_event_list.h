// The split events of one run, in the order the pages noted them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <tuple>
#include <vector>

#include "records/quote_record.h"

namespace pelmo {

// Holds each split once: a page may repeat a note, and applying one split twice would
// rescale the older prices twice. Two events are the same when their dates are Equal and
// both share counts compare equal; an event with an invalid date or a NaN count equals
// nothing and is always added. Adding costs a logarithmic look-up, so a page of many notes
// stays fast.
class SplitEventList {
 public:
  // Appends `event` unless the same event is held; true when it was appended.
  bool Add(const SplitEvent& event);
  void Clear();

  const std::vector<SplitEvent>& Events() const { return events_; }
  std::size_t size() const { return events_.size(); }
  bool empty() const { return events_.empty(); }
  const SplitEvent& operator[](std::size_t i) const { return events_[i]; }

 private:
  // Date status, date bits and both count bits, with -0 folded into 0.
  using Key = std::tuple<int, std::uint64_t, std::uint32_t, std::uint32_t>;

  std::vector<SplitEvent> events_;
  std::set<Key> held_;
};

}  // namespace pelmo
