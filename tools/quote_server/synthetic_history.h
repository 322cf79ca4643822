// The deterministic price and margin history of one code.
//
// Every value is a pure function of (seed, day): no row depends on rows computed before,
// so a window of any date costs only its own rows. Prices are in yen on the market's tick
// steps and in the share count of their day (a split halves the price from its date on);
// volumes are in shares; the adjusted close is the close in today's shares.
//
// Daily rows are trading days. Weekly rows summarise a Monday-to-Sunday week and are dated
// by its first trading day; monthly rows summarise a calendar month and are dated by its
// first trading day. A window holds the rows whose date lies within it. Margin rows are
// weekly and dated by the week's last trading day; a week appears only once it is over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/quote_server/code_profile.h"
#include "tools/quote_server/trading_calendar.h"

namespace pelmo::quote_server {

enum class Period { Daily, Weekly, Monthly };

struct PriceRow {
  Day date;
  std::int64_t open = 0;
  std::int64_t high = 0;
  std::int64_t low = 0;
  std::int64_t close = 0;
  std::int64_t volume = 0;
  std::int64_t adjustedClose = 0;
};

struct MarginRow {
  Day date;
  std::int64_t sellBalance = 0;
  std::int64_t sellChange = 0;  // from the week before
  std::int64_t buyBalance = 0;
  std::int64_t buyChange = 0;
  std::int64_t ratioHundredths = 0;  // buy balance / sell balance, in hundredths
};

// The price rounded to the nearest step of its band: 1 yen below 3,000, 5 below 30,000,
// 10 below 50,000, 50 below 300,000 and so on; never below 1.
std::int64_t RoundToTick(double price);

class SyntheticHistory {
 public:
  // `lastDay` is the newest day with data (the server passes today).
  SyntheticHistory(CodeProfile profile, Day lastDay);

  const CodeProfile& Profile() const { return profile_; }

  // The row of one trading day, whatever `lastDay` says.
  PriceRow DailyRow(Day tradingDay) const;

  // Rows dated within [first, last] and within the history, newest first; when more than
  // `limit` qualify, the newest `limit`.
  std::vector<PriceRow> PriceRows(Period period, Day first, Day last, std::size_t limit) const;
  std::vector<MarginRow> MarginRows(Day first, Day last, std::size_t limit) const;

  // Splits dated within [first, last] and within the history, newest first.
  std::vector<StockSplit> SplitsWithin(Day first, Day last) const;

 private:
  double AdjustedPrice(Day day) const;
  double SharesFactor(Day day) const;
  std::int64_t Balance(Day monday, std::uint64_t salt, double level) const;
  MarginRow MarginRowOf(Day monday) const;
  // The summary of the trading days of [from, to], or false when there are none.
  bool Summarise(Day from, Day to, PriceRow& row) const;

  CodeProfile profile_;
  Day lastDay_;
};

}  // namespace pelmo::quote_server
