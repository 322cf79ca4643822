// The calendar of the synthetic exchange: which days trade, and the Japanese date texts
// that the table rows show.
//
// Days are std::chrono::sys_days. The exchange trades Monday to Friday except 31 December
// and 1 to 3 January; there are no other holidays.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace pelmo::quote_server {

using Day = std::chrono::sys_days;

// The first day of the history; the first trading day is 4 January 1990.
inline constexpr Day kHistoryStart{std::chrono::year{1990} / std::chrono::January / 1};

bool IsTradingDay(Day day);

// The last trading day strictly before `day`.
Day PreviousTradingDay(Day day);

// The Monday of the week (Monday to Sunday) that holds `day`.
Day MondayOf(Day day);

// The first day of the month that holds `day`.
Day FirstOfMonth(Day day);

// The day of the given calendar parts, or nullopt when they name no real day (month 13,
// 30 February, -1 parts and the like). Years run from 1 to 9999.
std::optional<Day> MakeDay(int year, int month, int day);

// "2007年1月5日" and "2007年1月" (UTF-8), the date texts of daily and monthly rows.
std::string JapaneseDate(Day day);
std::string JapaneseMonth(Day day);

// The current UTC calendar day.
Day TodayUtc();

}  // namespace pelmo::quote_server
