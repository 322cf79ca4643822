#include "net/retry_after.h"

#include <array>
#include <cstdint>

namespace pelmo {
namespace {

// Above this a number of seconds (about 31 years) is taken as garbage, not as a wait.
constexpr std::uint64_t kMostSeconds = 999'999'999;

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}

// The digits of `text` as a number; nullopt when it is not all digits or too large.
std::optional<std::uint64_t> Digits(std::string_view text) {
  if (text.empty()) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > kMostSeconds) {
      return std::nullopt;
    }
  }
  return value;
}

// 1 to 12 for an English month abbreviation, 0 otherwise.
unsigned MonthNumber(std::string_view name) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (unsigned i = 0; i < kMonths.size(); ++i) {
    if (kMonths[i] == name) {
      return i + 1;
    }
  }
  return 0;
}

// "Sun, 06 Nov 1994 08:49:37 GMT", the one date form senders must use.
std::optional<std::chrono::sys_seconds> HttpDate(std::string_view text) {
  // Fixed positions: "Www, DD Mmm YYYY HH:MM:SS GMT".
  if (text.size() != 29 || text.substr(3, 2) != ", " || text[7] != ' ' || text[11] != ' ' ||
      text[16] != ' ' || text[19] != ':' || text[22] != ':' || text.substr(25) != " GMT") {
    return std::nullopt;
  }
  const auto day = Digits(text.substr(5, 2));
  const unsigned month = MonthNumber(text.substr(8, 3));
  const auto year = Digits(text.substr(12, 4));
  const auto hour = Digits(text.substr(17, 2));
  const auto minute = Digits(text.substr(20, 2));
  const auto second = Digits(text.substr(23, 2));
  if (!day || month == 0 || !year || !hour || !minute || !second || *hour > 23 || *minute > 59 ||
      *second > 60) {
    return std::nullopt;
  }
  const std::chrono::year_month_day date{std::chrono::year(static_cast<int>(*year)),
                                         std::chrono::month(month),
                                         std::chrono::day(static_cast<unsigned>(*day))};
  if (!date.ok()) {
    return std::nullopt;
  }
  return std::chrono::sys_days(date) + std::chrono::hours(*hour) + std::chrono::minutes(*minute) +
         std::chrono::seconds(*second);
}

}  // namespace

std::optional<std::chrono::seconds> RetryAfterWait(std::string_view value,
                                                   std::chrono::system_clock::time_point now) {
  value = Trimmed(value);
  if (const auto seconds = Digits(value)) {
    return std::chrono::seconds(*seconds);
  }
  const auto date = HttpDate(value);
  if (!date) {
    return std::nullopt;
  }
  if (*date <= now) {
    return std::chrono::seconds(0);
  }
  return std::chrono::ceil<std::chrono::seconds>(*date - now);
}

}  // namespace pelmo
