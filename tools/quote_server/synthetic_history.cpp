#include "tools/quote_server/synthetic_history.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "tools/quote_server/portable_math.h"

namespace pelmo::quote_server {

namespace {

using std::chrono::days;

// Salts of the history's draws; any distinct constants would do.
constexpr std::uint64_t kSaltOpen = 101;
constexpr std::uint64_t kSaltHigh = 102;
constexpr std::uint64_t kSaltLow = 103;
constexpr std::uint64_t kSaltVolume = 104;
constexpr std::uint64_t kSaltSellLevel = 105;
constexpr std::uint64_t kSaltBuyLevel = 106;
constexpr std::uint64_t kSaltSell = 107;
constexpr std::uint64_t kSaltBuy = 108;
constexpr std::uint64_t kSaltPath = 1000;  // and the 12 numbers after it, one per octave

constexpr double kSqrt2 = 1.4142135623730951;

struct TickBand {
  double below;
  std::int64_t step;
};

constexpr std::array<TickBand, 9> kTickBands = {{{3000, 1},
                                                 {30000, 5},
                                                 {50000, 10},
                                                 {300000, 50},
                                                 {500000, 100},
                                                 {3000000, 500},
                                                 {5000000, 1000},
                                                 {30000000, 5000},
                                                 {50000000, 10000}}};

std::int64_t TickFor(double price) {
  for (const TickBand& band : kTickBands) {
    if (price < band.below) {
      return band.step;
    }
  }
  return 50000;
}

// Band limits are multiples of the next band's step, so a price rounded with the step of
// its own band is on the tick grid of whichever band the result falls in.
std::int64_t RoundUpToTick(double price) {
  const auto step = TickFor(price);
  return std::max<std::int64_t>(step, static_cast<std::int64_t>(std::ceil(price / step)) * step);
}

std::int64_t RoundDownToTick(double price) {
  const auto step = TickFor(price);
  return std::max<std::int64_t>(1, static_cast<std::int64_t>(std::floor(price / step)) * step);
}

std::int64_t DayIndex(Day day) {
  return day.time_since_epoch().count();
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// A random walk in the large: value noise at octaves of 1 to 2,048 steps, each octave's
// amplitude growing with the square root of its span as a random walk's spread does.
double FractalPath(std::uint64_t seed, std::uint64_t salt, std::int64_t t, int octaves,
                   double amplitude) {
  double sum = 0.0;
  for (int k = 0; k < octaves; ++k) {
    const std::int64_t span = std::int64_t{1} << k;
    const std::int64_t cell = FloorDiv(t, span);
    const double fraction = static_cast<double>(t - cell * span) / static_cast<double>(span);
    const double a = Noise(seed, salt + k, cell);
    const double b = Noise(seed, salt + k, cell + 1);
    sum += amplitude * (a + (b - a) * fraction);
    amplitude *= kSqrt2;
  }
  return sum;
}

std::int64_t RoundToHundreds(double shares) {
  return std::max<std::int64_t>(100, std::llround(shares / 100.0) * 100);
}

Day LastTradingDayOfWeek(Day monday) {
  return PreviousTradingDay(monday + days{7});
}

Day EndOfMonth(Day firstOfMonth) {
  return FirstOfMonth(firstOfMonth + days{31}) - days{1};
}

}  // namespace

std::int64_t RoundToTick(double price) {
  const auto step = TickFor(price);
  return std::max<std::int64_t>(1, std::llround(price / static_cast<double>(step)) * step);
}

SyntheticHistory::SyntheticHistory(CodeProfile profile, Day lastDay)
    : profile_(std::move(profile)), lastDay_(lastDay) {}

double SyntheticHistory::AdjustedPrice(Day day) const {
  return profile_.startPrice *
         PortableExp(FractalPath(profile_.seed, kSaltPath, DayIndex(day), 12, 0.012));
}

double SyntheticHistory::SharesFactor(Day day) const {
  double factor = 1.0;
  for (const StockSplit& split : profile_.splits) {
    if (day < split.date) {
      factor *= split.sharesAfter / split.sharesBefore;
    }
  }
  return factor;
}

PriceRow SyntheticHistory::DailyRow(Day tradingDay) const {
  const std::uint64_t seed = profile_.seed;
  const std::int64_t t = DayIndex(tradingDay);
  const double factor = SharesFactor(tradingDay);
  PriceRow row;
  row.date = tradingDay;
  row.close = RoundToTick(AdjustedPrice(tradingDay) * factor);
  // The open follows the day before's close, taken in this day's shares.
  const double previous = AdjustedPrice(PreviousTradingDay(tradingDay)) * factor;
  row.open = RoundToTick(previous * (1.0 + 0.006 * Noise(seed, kSaltOpen, t)));
  const auto top = static_cast<double>(std::max(row.open, row.close));
  const auto bottom = static_cast<double>(std::min(row.open, row.close));
  row.high = RoundUpToTick(top * (1.0 + 0.012 * std::fabs(Noise(seed, kSaltHigh, t))));
  row.low = RoundDownToTick(bottom * (1.0 - 0.012 * std::fabs(Noise(seed, kSaltLow, t))));
  const double shares =
      profile_.dailyVolume * PortableExp(0.5 * Noise(seed, kSaltVolume, t)) / factor;
  row.volume = std::max<std::int64_t>(1000, std::llround(shares / 1000.0) * 1000);
  row.adjustedClose = std::llround(static_cast<double>(row.close) / factor);
  return row;
}

bool SyntheticHistory::Summarise(Day from, Day to, PriceRow& row) const {
  bool any = false;
  for (Day day = from; day <= to && day <= lastDay_; day += days{1}) {
    if (!IsTradingDay(day)) {
      continue;
    }
    const PriceRow daily = DailyRow(day);
    if (!any) {
      row = daily;
      any = true;
      continue;
    }
    row.high = std::max(row.high, daily.high);
    row.low = std::min(row.low, daily.low);
    row.close = daily.close;
    row.volume += daily.volume;
    row.adjustedClose = daily.adjustedClose;
  }
  return any;
}

std::vector<PriceRow> SyntheticHistory::PriceRows(Period period, Day first, Day last,
                                                  std::size_t limit) const {
  std::vector<PriceRow> rows;
  const Day top = std::min(last, lastDay_);
  const Day bottom = std::max(first, kHistoryStart);
  if (!profile_.hasData || top < bottom) {
    return rows;
  }
  // Each step takes one period, from the newest down to the first that ends before the
  // window; the rows kept are those whose date lies within it.
  Day from = period == Period::Daily    ? top
             : period == Period::Weekly ? MondayOf(top)
                                        : FirstOfMonth(top);
  while (rows.size() < limit) {
    const Day to = period == Period::Daily    ? from
                   : period == Period::Weekly ? from + days{6}
                                              : EndOfMonth(from);
    if (to < bottom) {
      break;
    }
    PriceRow row;
    if (Summarise(from, to, row) && bottom <= row.date && row.date <= top) {
      rows.push_back(row);
    }
    from = period == Period::Daily    ? from - days{1}
           : period == Period::Weekly ? from - days{7}
                                      : FirstOfMonth(from - days{1});
  }
  return rows;
}

std::int64_t SyntheticHistory::Balance(Day monday, std::uint64_t salt, double level) const {
  const std::int64_t week = FloorDiv(DayIndex(monday), 7);
  const double walk = FractalPath(profile_.seed, salt, week, 7, 0.08);
  return RoundToHundreds(level * PortableExp(walk) / SharesFactor(LastTradingDayOfWeek(monday)));
}

MarginRow SyntheticHistory::MarginRowOf(Day monday) const {
  const double sellLevel = profile_.dailyVolume * (1.0 + 4.0 * Unit(profile_.seed, kSaltSellLevel));
  const double buyLevel = sellLevel * (1.2 + 3.0 * Unit(profile_.seed, kSaltBuyLevel));
  const Day weekBefore = monday - days{7};
  MarginRow row;
  row.date = LastTradingDayOfWeek(monday);
  row.sellBalance = Balance(monday, kSaltSell, sellLevel);
  row.sellChange = row.sellBalance - Balance(weekBefore, kSaltSell, sellLevel);
  row.buyBalance = Balance(monday, kSaltBuy, buyLevel);
  row.buyChange = row.buyBalance - Balance(weekBefore, kSaltBuy, buyLevel);
  row.ratioHundredths = std::llround(static_cast<double>(row.buyBalance) * 100.0 /
                                     static_cast<double>(row.sellBalance));
  return row;
}

std::vector<MarginRow> SyntheticHistory::MarginRows(Day first, Day last, std::size_t limit) const {
  std::vector<MarginRow> rows;
  const Day top = std::min(last, lastDay_);
  const Day bottom = std::max(first, kHistoryStart);
  if (!profile_.hasData || top < bottom) {
    return rows;
  }
  for (Day monday = MondayOf(top); monday + days{6} >= bottom && rows.size() < limit;
       monday -= days{7}) {
    const Day date = LastTradingDayOfWeek(monday);
    if (bottom <= date && date <= top) {
      rows.push_back(MarginRowOf(monday));
    }
  }
  return rows;
}

std::vector<StockSplit> SyntheticHistory::SplitsWithin(Day first, Day last) const {
  std::vector<StockSplit> splits;
  const Day top = std::min(last, lastDay_);
  const Day bottom = std::max(first, kHistoryStart);
  for (auto it = profile_.splits.rbegin(); it != profile_.splits.rend(); ++it) {
    if (profile_.hasData && bottom <= it->date && it->date <= top) {
      splits.push_back(*it);
    }
  }
  return splits;
}

}  // namespace pelmo::quote_server
