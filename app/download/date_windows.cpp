#include "app/download/date_windows.h"

namespace pelmo {
namespace {

constexpr int kDaysPerDailyWindow = 51;
constexpr int kWeeksPerWindow = 50;
constexpr int kDaysPerWeeklyWindow = kWeeksPerWindow * 7;
constexpr int kMonthsPerWindow = 50;

std::vector<DateWindow> DailyWindows(SerialDate start, SerialDate end) {
  std::vector<DateWindow> windows;
  int remaining = WholeDays(DaysBetween(end, start));
  while (remaining >= kDaysPerDailyWindow - 1) {
    const SerialDate first = SubtractDays(end, kDaysPerDailyWindow - 1);
    windows.push_back({first, end});
    end = SubtractDays(first, 1);
    remaining -= kDaysPerDailyWindow;
  }
  windows.push_back({SubtractDays(end, remaining), end});
  return windows;
}

std::vector<DateWindow> WeeklyWindows(SerialDate start, SerialDate end) {
  // Whole weeks, Monday to Sunday (DayOfWeek counts 1 for Sunday).
  start = SubtractDays(start, (DayOfWeek(start) + 5) % 7);
  end = AddDays(end, (8 - DayOfWeek(end)) % 7);
  std::vector<DateWindow> windows;
  int days = WholeDays(DaysBetween(end, start)) + 1;
  while (days / 7 >= kWeeksPerWindow) {
    const SerialDate first = SubtractDays(end, kDaysPerWeeklyWindow - 1);
    windows.push_back({first, end});
    end = SubtractDays(first, 1);
    days -= kDaysPerWeeklyWindow;
  }
  windows.push_back({SubtractDays(end, days - 1), end});
  return windows;
}

std::vector<DateWindow> MonthlyWindows(const CalendarTime& startTime, const CalendarTime& endTime) {
  const SerialDate start = FromCalendar(startTime.year, startTime.month, 1);
  // The last day of the end's month is the day before the first of the next month.
  const bool december = endTime.month == 12;
  SerialDate end = SubtractDays(
      FromCalendar(endTime.year + (december ? 1 : 0), december ? 1 : endTime.month + 1, 1), 1);
  std::vector<DateWindow> windows;
  int previous = 0;
  for (bool firstPass = true;; firstPass = false) {
    const int months = (Year(end) - Year(start)) * 12 + Month(end) - Month(start) + 1;
    // Dates outside the calendar give -1 fields; a count that stops shrinking ends the run
    // instead of looping.
    if (months < kMonthsPerWindow || (!firstPass && months >= previous)) {
      windows.push_back({start, end});
      return windows;
    }
    previous = months;
    // Month 0 is December of the year before.
    const SerialDate first = FromCalendar(Year(end) - 4, Month(end) - 1, 1);
    windows.push_back({first, end});
    end = SubtractDays(first, 1);
  }
}

// The day of `time` at midnight: pages are asked for by whole days, and a time of day on
// one end of the range would otherwise cut a day off the whole-day count.
SerialDate CalendarDay(const CalendarTime& time) {
  return FromCalendar(time.year, time.month, time.day);
}

}  // namespace

std::vector<DateWindow> BuildWindows(const CalendarTime& start, const CalendarTime& end,
                                     Period period) {
  switch (period) {
    case Period::Weekly:
      return WeeklyWindows(CalendarDay(start), CalendarDay(end));
    case Period::Monthly:
      return MonthlyWindows(start, end);
    case Period::Daily:
      break;
  }
  return DailyWindows(CalendarDay(start), CalendarDay(end));
}

}  // namespace pelmo
