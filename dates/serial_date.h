// Dates as day counts since 30 December 1899 00:00 local time, with a status.
//
// The fraction of `value` is the time of day. Below zero the whole part still names the
// day, counted backwards, and the fraction counts forward from that day's midnight:
// -1.25 is 29 December 1899, 06:00. Arithmetic and ordering use a linear day count
// derived from the value, so that such dates move and compare as expected.
//
// Serial dates are local wall-clock times: no time zone is applied anywhere except where
// the system clock or a file time (seconds since the epoch) is read.
//
// Nothing here fails loudly: conversions that cannot be made give an invalid date or
// -1 fields, and comparisons with an invalid date are false.
#pragma once

#include <cstdint>
#include <ctime>
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

// The current local date and time to the whole second; invalid if the clock cannot be
// broken down.
SerialDate Now();
// `seconds` since the epoch as a local date and time; invalid if it cannot be broken down.
SerialDate FromLocalTime(std::time_t seconds);

// Invalid when the fields are outside years 100 to 9999 or not a calendar date and time.
// `dayOfWeek` and `milliseconds` are ignored.
SerialDate FromCalendar(const CalendarTime& time);
// Month 0 is December of the year before.
SerialDate FromCalendar(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// To the whole second, `milliseconds` 0, `dayOfWeek` filled in; nullopt when the date is
// not valid or outside years 100 to 9999.
std::optional<CalendarTime> ToCalendar(SerialDate date);

// Calendar fields, or -1 when the date is not valid or cannot be converted.
int Year(SerialDate date);
int Month(SerialDate date);
int Day(SerialDate date);
int DayOfWeek(SerialDate date);  // 1 Sunday to 7 Saturday

// The linear day count of a value and the way back (identities from zero upwards).
double LinearDays(double value);
double FromLinearDays(double linear);

// Moves the date on the linear count. Always valid results.
SerialDate AddDays(SerialDate date, double days);
SerialDate SubtractDays(SerialDate date, double days);

// L(a) - L(b). Invalid when either date is invalid or the span lies beyond 3615897 days;
// null when either date is null and neither is invalid.
DaySpan DaysBetween(SerialDate a, SerialDate b);
// The span plus half a second (minus, when negative), cut toward zero; 0 for a span
// that is not valid.
std::int32_t WholeDays(DaySpan span);

// True only when both dates are valid and a comes first.
bool IsBefore(SerialDate a, SerialDate b);
// Equal statuses and either both valid with equal values or both null; two invalid dates
// are not equal.
bool Equals(SerialDate a, SerialDate b);

// Reads, after optional white space, YYYY/MM/DD or YYYY-MM-DD (month and day with one or
// two digits, year 100 to 9999), optionally followed by white space and H:MM or H:MM:SS
// (24-hour), then optional white space. With TimeOfDay::Drop the time of day is dropped
// and the result is at midnight (stored lines and page cells); with TimeOfDay::Keep it is
// part of the result (command-line dates). Any other text gives an invalid date.
enum class TimeOfDay { Keep, Drop };
SerialDate Parse(std::string_view text, TimeOfDay timeOfDay);

// Null gives "", invalid (or out of range) gives "Invalid DateTime", else strftime of
// `pattern` (the program never changes its locale, so month names are English).
std::string Format(SerialDate date, const char* pattern);

// Appends `value` in at least `width` digits, zero-padded, as Format writes its fields.
void AppendZeroPadded(std::string& text, unsigned value, int width);

}  // namespace pelmo
