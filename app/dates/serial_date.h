// Dates as day counts since 30 December 1899 00:00 local time, with a status.
//
// The fraction of `value` is the time of day. Below zero the whole part still names the
// day, counted backwards, and the fraction counts forward from that day's midnight:
// -1.25 is 29 December 1899, 06:00. Arithmetic and ordering use a linear day count
// derived from the value, so that such dates move and compare as expected.
//
// Nothing here fails loudly: conversions that cannot be made give an invalid date or
// -1 fields, and comparisons with an invalid date are false.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelmo {

enum class DateStatus { Valid = 0, Invalid = 1, Null = 2 };

struct SerialDate {
  double value = 0.0;
  DateStatus status = DateStatus::Valid;

  static SerialDate Invalid() { return {0.0, DateStatus::Invalid}; }
  static SerialDate Null() { return {0.0, DateStatus::Null}; }
  bool IsValid() const { return status == DateStatus::Valid; }
};

// The difference of two dates in linear days; invalid beyond 3615897 days either way.
struct DaySpan {
  double days = 0.0;
  DateStatus status = DateStatus::Valid;
};

// Broken-down local date and time.
struct CalendarTime {
  std::uint16_t year = 0;
  std::uint16_t month = 0;
  std::uint16_t dayOfWeek = 0;  // 0 Sunday to 6 Saturday
  std::uint16_t day = 0;
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t milliseconds = 0;
};

// Table granularity, sent to the quote service as a one-letter text.
enum class Period : char { Daily = 'd', Weekly = 'w', Monthly = 'm' };

SerialDate Now();
SerialDate FromCalendar(const CalendarTime& time);
// Month 0 is December of the year before.
SerialDate FromCalendar(int year, int month, int day, int hour = 0, int minute = 0,
                        int second = 0);
std::optional<CalendarTime> ToCalendar(SerialDate date);

// Calendar fields, or -1 when the date is not valid or cannot be converted.
int Year(SerialDate date);
int Month(SerialDate date);
int Day(SerialDate date);
int DayOfWeek(SerialDate date);  // 1 Sunday to 7 Saturday

// Always valid results.
SerialDate AddDays(SerialDate date, double days);
SerialDate SubtractDays(SerialDate date, double days);

DaySpan DaysBetween(SerialDate a, SerialDate b);  // L(a) - L(b)
std::int32_t WholeDays(DaySpan span);

bool IsBefore(SerialDate a, SerialDate b);
bool Equals(SerialDate a, SerialDate b);

// Reads YYYY/MM/DD or YYYY-MM-DD, optionally followed by H:MM or H:MM:SS. With
// `dateOnly` the time of day is dropped. On failure the status is invalid.
SerialDate Parse(std::string_view text, bool dateOnly);

// Null gives "", invalid gives "Invalid DateTime", else strftime of `pattern`.
std::string Format(SerialDate date, const char* pattern);

}  // namespace pelmo
