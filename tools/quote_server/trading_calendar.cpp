#include "tools/quote_server/trading_calendar.h"

namespace pelmo::quote_server {

namespace {

using std::chrono::days;

std::chrono::year_month_day Civil(Day day) {
  return std::chrono::year_month_day{day};
}

}  // namespace

bool IsTradingDay(Day day) {
  const std::chrono::weekday weekday{day};
  if (weekday == std::chrono::Saturday || weekday == std::chrono::Sunday) {
    return false;
  }
  const auto ymd = Civil(day);
  const unsigned month = static_cast<unsigned>(ymd.month());
  const unsigned dayOfMonth = static_cast<unsigned>(ymd.day());
  if (month == 12 && dayOfMonth == 31) {
    return false;
  }
  return !(month == 1 && dayOfMonth <= 3);
}

Day PreviousTradingDay(Day day) {
  // At most five days back: a weekend next to the New Year closure.
  do {
    day -= days{1};
  } while (!IsTradingDay(day));
  return day;
}

Day MondayOf(Day day) {
  const std::chrono::weekday weekday{day};
  // iso_encoding: Monday 1 to Sunday 7.
  return day - days{weekday.iso_encoding() - 1};
}

Day FirstOfMonth(Day day) {
  const auto ymd = Civil(day);
  return Day{ymd.year() / ymd.month() / 1};
}

std::optional<Day> MakeDay(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) {
    return std::nullopt;
  }
  const std::chrono::year_month_day ymd{std::chrono::year{year},
                                        std::chrono::month{static_cast<unsigned>(month)},
                                        std::chrono::day{static_cast<unsigned>(day)}};
  if (!ymd.ok()) {
    return std::nullopt;
  }
  return Day{ymd};
}

std::string JapaneseMonth(Day day) {
  const auto ymd = Civil(day);
  return std::to_string(static_cast<int>(ymd.year())) + "年" +
         std::to_string(static_cast<unsigned>(ymd.month())) + "月";
}

std::string JapaneseDate(Day day) {
  return JapaneseMonth(day) + std::to_string(static_cast<unsigned>(Civil(day).day())) + "日";
}

Day TodayUtc() {
  return std::chrono::floor<days>(std::chrono::system_clock::now());
}

}  // namespace pelmo::quote_server
