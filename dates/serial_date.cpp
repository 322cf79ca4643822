#include "dates/serial_date.h"

#include <chrono>
#include <cmath>

#include "platform/platform.h"

namespace pelmo {
namespace {

namespace chr = std::chrono;

constexpr double kSecondsPerDay = 86400.0;
constexpr double kMaxSpanDays = 3615897.0;
constexpr int kMinYear = 100;
constexpr int kMaxYear = 9999;

constexpr chr::sys_days kEpoch = chr::sys_days{chr::year{1899} / chr::December / 30};

bool InRange(int value, int low, int high) {
  return value >= low && value <= high;
}

}  // namespace

double LinearDays(double value) {
  if (value >= 0.0) {
    return value;
  }
  const double whole = std::ceil(value);
  return whole - (value - whole);
}

double FromLinearDays(double linear) {
  if (linear >= 0.0) {
    return linear;
  }
  const double whole = std::floor(linear);
  return whole + (whole - linear);
}

SerialDate FromCalendar(int year, int month, int day, int hour, int minute, int second) {
  if (month == 0) {
    month = 12;
    --year;
  }
  if (!InRange(year, kMinYear, kMaxYear) || !InRange(month, 1, 12) || !InRange(hour, 0, 23) ||
      !InRange(minute, 0, 59) || !InRange(second, 0, 59) || !InRange(day, 1, 31)) {
    return SerialDate::Invalid();
  }
  const chr::year_month_day date{chr::year{year}, chr::month{static_cast<unsigned>(month)},
                                 chr::day{static_cast<unsigned>(day)}};
  if (!date.ok()) {
    return SerialDate::Invalid();
  }
  const double days = static_cast<double>((chr::sys_days{date} - kEpoch).count());
  const double timeOfDay = (hour * 3600 + minute * 60 + second) / kSecondsPerDay;
  return {FromLinearDays(days + timeOfDay), DateStatus::Valid};
}

SerialDate FromCalendar(const CalendarTime& time) {
  return FromCalendar(time.year, time.month, time.day, time.hour, time.minute, time.second);
}

std::optional<CalendarTime> ToCalendar(SerialDate date) {
  if (!date.IsValid()) {
    return std::nullopt;
  }
  const double linear = LinearDays(date.value);
  // Years 100 to 9999 lie well inside this bound; it keeps the cast below defined.
  if (!std::isfinite(linear) || std::fabs(linear) > kMaxSpanDays) {
    return std::nullopt;
  }
  const long long totalSeconds = std::llround(linear * kSecondsPerDay);
  long long days = totalSeconds / 86400;
  long long seconds = totalSeconds % 86400;
  if (seconds < 0) {
    seconds += 86400;
    --days;
  }
  const chr::sys_days day = kEpoch + chr::days{days};
  const chr::year_month_day ymd{day};
  const int year = static_cast<int>(ymd.year());
  if (!InRange(year, kMinYear, kMaxYear)) {
    return std::nullopt;
  }
  CalendarTime time;
  time.year = static_cast<std::uint16_t>(year);
  time.month = static_cast<std::uint16_t>(static_cast<unsigned>(ymd.month()));
  time.day = static_cast<std::uint16_t>(static_cast<unsigned>(ymd.day()));
  time.dayOfWeek = static_cast<std::uint16_t>(chr::weekday{day}.c_encoding());
  time.hour = static_cast<std::uint16_t>(seconds / 3600);
  time.minute = static_cast<std::uint16_t>(seconds / 60 % 60);
  time.second = static_cast<std::uint16_t>(seconds % 60);
  return time;
}

SerialDate FromLocalTime(std::time_t seconds) {
  const std::optional<std::tm> time = LocalTime(seconds);
  if (!time) {
    return SerialDate::Invalid();
  }
  const std::tm& local = *time;
  // A leap second has no place in a serial date.
  const int second = local.tm_sec > 59 ? 59 : local.tm_sec;
  return FromCalendar(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, second);
}

SerialDate Now() {
  return FromLocalTime(std::time(nullptr));
}

int Year(SerialDate date) {
  const auto time = ToCalendar(date);
  return time ? time->year : -1;
}

int Month(SerialDate date) {
  const auto time = ToCalendar(date);
  return time ? time->month : -1;
}

int Day(SerialDate date) {
  const auto time = ToCalendar(date);
  return time ? time->day : -1;
}

int DayOfWeek(SerialDate date) {
  const auto time = ToCalendar(date);
  return time ? time->dayOfWeek + 1 : -1;
}

SerialDate AddDays(SerialDate date, double days) {
  return {FromLinearDays(LinearDays(date.value) + days), DateStatus::Valid};
}

SerialDate SubtractDays(SerialDate date, double days) {
  return {FromLinearDays(LinearDays(date.value) - days), DateStatus::Valid};
}

DaySpan DaysBetween(SerialDate a, SerialDate b) {
  if (a.status == DateStatus::Invalid || b.status == DateStatus::Invalid) {
    return {0.0, DateStatus::Invalid};
  }
  if (a.status == DateStatus::Null || b.status == DateStatus::Null) {
    return {0.0, DateStatus::Null};
  }
  const double days = LinearDays(a.value) - LinearDays(b.value);
  // The negated comparison also catches NaN.
  if (!(std::fabs(days) <= kMaxSpanDays)) {
    return {days, DateStatus::Invalid};
  }
  return {days, DateStatus::Valid};
}

std::int32_t WholeDays(DaySpan span) {
  if (span.status != DateStatus::Valid || !(std::fabs(span.days) <= kMaxSpanDays)) {
    return 0;
  }
  // Half a second absorbs the error of a span computed from fractions of a day.
  constexpr double kHalfSecond = 1.0 / 172800.0;
  const double nudged = span.days < 0.0 ? span.days - kHalfSecond : span.days + kHalfSecond;
  return static_cast<std::int32_t>(nudged);
}

bool IsBefore(SerialDate a, SerialDate b) {
  return a.IsValid() && b.IsValid() && LinearDays(a.value) < LinearDays(b.value);
}

bool Equals(SerialDate a, SerialDate b) {
  if (a.status != b.status) {
    return false;
  }
  if (a.status == DateStatus::Null) {
    return true;
  }
  return a.status == DateStatus::Valid && a.value == b.value;
}

}  // namespace pelmo
