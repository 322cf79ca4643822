// The date windows of a run: the range cut into pieces that one table page can hold.
#pragma once

#include <vector>

#include "dates/serial_date.h"

namespace pelmo {

// The first and last day of one page request. `first` may lie after `last`.
struct DateWindow {
  SerialDate first;
  SerialDate last;
};

// Cuts the range from `start` to `end` into windows, newest first. Only the calendar days
// of `start` and `end` count: their times of day are dropped, and every window runs from
// midnight to midnight.
// - daily: 51 days each, ending on `end`, while 50 or more whole days remain;
// - weekly: the range widened to Monday through Sunday, then 350 days each while 50 or more
//   weeks remain;
// - monthly: from the first day of the start's month to the last day of the end's month,
//   50 months each while 50 or more months remain.
// A last window is always added for what remains. When the windows use up the range exactly,
// it runs from the range's first day to the day before; when `start` lies after `end`, it
// is the one, reversed, window of the run.
std::vector<DateWindow> BuildWindows(const CalendarTime& start, const CalendarTime& end,
                                     Period period);

}  // namespace pelmo
