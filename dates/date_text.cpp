// Parse and Format of serial_date.h: the text forms of a date.
#include "dates/serial_date.h"

#include <array>
#include <cctype>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmo {
namespace {

// Reads a date text left to right; every step either consumes what it expects or
// reports failure, leaving the text for the caller to reject.
class DateScanner {
 public:
  explicit DateScanner(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ == text_.size(); }

  // Skips white space in the "C" sense; says whether there was any.
  bool SkipSpace() {
    const std::size_t before = pos_;
    while (!AtEnd() && std::isspace(static_cast<unsigned char>(text_[pos_]))) {
      ++pos_;
    }
    return pos_ != before;
  }

  bool Consume(char c) {
    if (AtEnd() || text_[pos_] != c) {
      return false;
    }
    ++pos_;
    return true;
  }

  // Reads `minCount` to `maxCount` decimal digits.
  std::optional<int> Number(std::size_t minCount, std::size_t maxCount) {
    int value = 0;
    std::size_t count = 0;
    while (count < maxCount && !AtEnd() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
      value = value * 10 + (text_[pos_] - '0');
      ++pos_;
      ++count;
    }
    // More digits than allowed means a different form, not a shorter number.
    if (count < minCount || (!AtEnd() && std::isdigit(static_cast<unsigned char>(text_[pos_])))) {
      return std::nullopt;
    }
    return value;
  }

  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

struct DateFields {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

bool ScanDate(DateScanner& scanner, DateFields& fields) {
  const auto year = scanner.Number(1, 4);
  const char separator = scanner.Peek();
  if (!year || (separator != '/' && separator != '-') || !scanner.Consume(separator)) {
    return false;
  }
  const auto month = scanner.Number(1, 2);
  if (!month || !scanner.Consume(separator)) {
    return false;
  }
  const auto day = scanner.Number(1, 2);
  if (!day) {
    return false;
  }
  fields.year = *year;
  fields.month = *month;
  fields.day = *day;
  return true;
}

bool ScanTime(DateScanner& scanner, DateFields& fields) {
  const auto hour = scanner.Number(1, 2);
  if (!hour || !scanner.Consume(':')) {
    return false;
  }
  const auto minute = scanner.Number(2, 2);
  if (!minute) {
    return false;
  }
  fields.hour = *hour;
  fields.minute = *minute;
  if (scanner.Consume(':')) {
    const auto second = scanner.Number(2, 2);
    if (!second) {
      return false;
    }
    fields.second = *second;
  }
  return true;
}

// Calendar fields are never negative.
void AppendNumber(std::string& text, int value, int width) {
  AppendZeroPadded(text, static_cast<unsigned>(value), width);
}

// One "%x" field. The fields of dates and times are written here, the same on every system
// (C libraries differ: %Y of the year 100 is "0100" on Windows, %T is missing there); others
// are left to strftime.
void AppendField(std::string& text, char field, const std::tm& tm) {
  static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  switch (field) {
    case 'Y':
      return AppendNumber(text, tm.tm_year + 1900, 1);
    case 'm':
      return AppendNumber(text, tm.tm_mon + 1, 2);
    case 'd':
      return AppendNumber(text, tm.tm_mday, 2);
    case 'H':
      return AppendNumber(text, tm.tm_hour, 2);
    case 'M':
      return AppendNumber(text, tm.tm_min, 2);
    case 'S':
      return AppendNumber(text, tm.tm_sec, 2);
    case 'T':
      AppendField(text, 'H', tm);
      text += ':';
      AppendField(text, 'M', tm);
      text += ':';
      return AppendField(text, 'S', tm);
    case 'b':
      text += kMonths[static_cast<std::size_t>(tm.tm_mon) % kMonths.size()];
      return;
    default:
      break;
  }
  const char pattern[] = {'%', field, '\0'};
  std::array<char, 128> buffer{};
  text.append(buffer.data(), std::strftime(buffer.data(), buffer.size(), pattern, &tm));
}

std::tm ToTm(const CalendarTime& time) {
  std::tm tm{};
  tm.tm_year = time.year - 1900;
  tm.tm_mon = time.month - 1;
  tm.tm_mday = time.day;
  tm.tm_hour = time.hour;
  tm.tm_min = time.minute;
  tm.tm_sec = time.second;
  tm.tm_wday = time.dayOfWeek;
  const SerialDate newYear = FromCalendar(time.year, 1, 1);
  const SerialDate midnight = FromCalendar(time.year, time.month, time.day);
  tm.tm_yday = WholeDays(DaysBetween(midnight, newYear));
  tm.tm_isdst = -1;
  return tm;
}

}  // namespace

SerialDate Parse(std::string_view text, TimeOfDay timeOfDay) {
  DateScanner scanner(text);
  DateFields fields;
  scanner.SkipSpace();
  if (!ScanDate(scanner, fields)) {
    return SerialDate::Invalid();
  }
  // A time of day must stand apart from the date.
  if (scanner.SkipSpace() && !scanner.AtEnd()) {
    if (!ScanTime(scanner, fields)) {
      return SerialDate::Invalid();
    }
    scanner.SkipSpace();
  }
  if (!scanner.AtEnd()) {
    return SerialDate::Invalid();
  }
  // The time is checked even when it is dropped: 2002/04/01 25:00 is not a date.
  const SerialDate date = FromCalendar(fields.year, fields.month, fields.day, fields.hour,
                                       fields.minute, fields.second);
  // FromCalendar reads month 0 as December before; a text never means that.
  if (!date.IsValid() || fields.month == 0) {
    return SerialDate::Invalid();
  }
  return timeOfDay == TimeOfDay::Drop ? FromCalendar(fields.year, fields.month, fields.day) : date;
}

void AppendZeroPadded(std::string& text, unsigned value, int width) {
  char digits[16];
  char* const end = digits + sizeof digits;
  char* at = end;
  do {
    *--at = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (end - at < width && at != digits) {
    *--at = '0';
  }
  text.append(at, static_cast<std::size_t>(end - at));
}

std::string Format(SerialDate date, const char* pattern) {
  if (date.status == DateStatus::Null) {
    return "";
  }
  const auto time = ToCalendar(date);
  if (!time) {
    return "Invalid DateTime";
  }
  const std::tm tm = ToTm(*time);
  std::string text;
  for (const char* at = pattern; *at != '\0'; ++at) {
    if (*at != '%' || at[1] == '\0') {
      text += *at;
      continue;
    }
    AppendField(text, *++at, tm);
  }
  return text;
}

}  // namespace pelmo
