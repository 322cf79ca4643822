#include "app/download/date_windows.h"

#include <gtest/gtest.h>

#include <string>

namespace pelmo {
namespace {

CalendarTime Cal(int year, int month, int day, int hour = 0, int minute = 0) {
  CalendarTime time;
  time.year = static_cast<std::uint16_t>(year);
  time.month = static_cast<std::uint16_t>(month);
  time.day = static_cast<std::uint16_t>(day);
  time.hour = static_cast<std::uint16_t>(hour);
  time.minute = static_cast<std::uint16_t>(minute);
  return time;
}

// "first-last" per window, newest first, separated by spaces.
std::string Dump(const std::vector<DateWindow>& windows, const char* pattern = "%Y/%m/%d") {
  std::string text;
  for (const DateWindow& window : windows) {
    if (!text.empty()) {
      text += ' ';
    }
    text += Format(window.first, pattern) + "-" + Format(window.last, pattern);
  }
  return text;
}

TEST(BuildWindowsTest, Daily) {
  EXPECT_EQ(Dump(BuildWindows(Cal(2007, 1, 1), Cal(2007, 3, 31), Period::Daily)),
            "2007/02/09-2007/03/31 2007/01/01-2007/02/08");
  // 50 whole days fill one window exactly; the last window then runs backwards.
  EXPECT_EQ(Dump(BuildWindows(Cal(2007, 1, 1), Cal(2007, 2, 20), Period::Daily)),
            "2007/01/01-2007/02/20 2007/01/01-2006/12/31");
  EXPECT_EQ(Dump(BuildWindows(Cal(2007, 1, 1), Cal(2007, 2, 19), Period::Daily)),
            "2007/01/01-2007/02/19");
  EXPECT_EQ(Dump(BuildWindows(Cal(2007, 3, 10), Cal(2007, 3, 1), Period::Daily)),
            "2007/03/10-2007/03/01");
}

// Pages are asked for by whole days: a time of day on either end never changes which days.
TEST(BuildWindowsTest, TimesOfDayDoNotChangeTheDays) {
  EXPECT_EQ(
      Dump(BuildWindows(Cal(2024, 1, 5, 9), Cal(2024, 1, 10), Period::Daily), "%Y/%m/%d %H:%M"),
      "2024/01/05 00:00-2024/01/10 00:00");
  // The defaults, 30 days ago to yesterday at the time of day of now, ask for the days that
  // an end given without a time asks for.
  const SerialDate now = FromCalendar(2007, 3, 31, 13, 45);
  const auto start = ToCalendar(SubtractDays(now, 30));
  const auto end = ToCalendar(SubtractDays(now, 1));
  ASSERT_TRUE(start && end);
  EXPECT_EQ(Dump(BuildWindows(*start, *end, Period::Daily)), "2007/03/01-2007/03/30");
  EXPECT_EQ(Dump(BuildWindows(*start, Cal(2007, 3, 30), Period::Daily)), "2007/03/01-2007/03/30");
  // 50 whole days from a late start to an early end still fill one window exactly.
  EXPECT_EQ(Dump(BuildWindows(Cal(2007, 1, 1, 23, 59), Cal(2007, 2, 20, 0, 1), Period::Daily)),
            "2007/01/01-2007/02/20 2007/01/01-2006/12/31");
  for (const Period period : {Period::Weekly, Period::Monthly}) {
    EXPECT_EQ(Dump(BuildWindows(Cal(2005, 1, 3, 23, 59), Cal(2006, 12, 3, 0, 1), period)),
              Dump(BuildWindows(Cal(2005, 1, 3), Cal(2006, 12, 3), period)));
  }
}

TEST(BuildWindowsTest, Weekly) {
  // Wednesday to Thursday widens to Monday to Sunday: 11 weeks.
  EXPECT_EQ(Dump(BuildWindows(Cal(2007, 1, 3), Cal(2007, 3, 15), Period::Weekly)),
            "2007/01/01-2007/03/18");
  // A Sunday start goes back six days; a Sunday end stays.
  EXPECT_EQ(Dump(BuildWindows(Cal(2007, 1, 7), Cal(2007, 1, 7), Period::Weekly)),
            "2007/01/01-2007/01/07");
  // Exactly 100 weeks from Monday 2005/01/03.
  EXPECT_EQ(Dump(BuildWindows(Cal(2005, 1, 3), Cal(2006, 12, 3), Period::Weekly)),
            "2005/12/19-2006/12/03 2005/01/03-2005/12/18 2005/01/03-2005/01/02");
  EXPECT_EQ(Dump(BuildWindows(Cal(2007, 3, 14), Cal(2007, 3, 1), Period::Weekly)),
            "2007/03/12-2007/03/04");
}

TEST(BuildWindowsTest, Monthly) {
  EXPECT_EQ(Dump(BuildWindows(Cal(2003, 2, 15), Cal(2007, 3, 10), Period::Monthly)),
            "2003/02/01-2007/03/31 2003/02/01-2003/01/31");
  EXPECT_EQ(Dump(BuildWindows(Cal(2000, 1, 1), Cal(2007, 1, 15), Period::Monthly)),
            "2002/12/01-2007/01/31 2000/01/01-2002/11/30");
  EXPECT_EQ(Dump(BuildWindows(Cal(2007, 1, 20), Cal(2007, 12, 5), Period::Monthly)),
            "2007/01/01-2007/12/31");
  EXPECT_EQ(Dump(BuildWindows(Cal(2008, 2, 1), Cal(2008, 2, 29), Period::Monthly)),
            "2008/02/01-2008/02/29");
  EXPECT_EQ(Dump(BuildWindows(Cal(2007, 5, 20), Cal(2007, 3, 5), Period::Monthly)),
            "2007/05/01-2007/03/31");
}

TEST(BuildWindowsTest, DatesOutsideCalendarStillEnd) {
  for (const Period period : {Period::Daily, Period::Weekly, Period::Monthly}) {
    const auto windows = BuildWindows(Cal(0, 0, 0), Cal(2007, 1, 15), period);
    ASSERT_FALSE(windows.empty());
    EXPECT_LT(windows.size(), 1000u);
    const auto reversed = BuildWindows(Cal(2007, 1, 15), Cal(0, 0, 0), period);
    ASSERT_FALSE(reversed.empty());
    EXPECT_LT(reversed.size(), 1000u);
  }
}

}  // namespace
}  // namespace pelmo
