#include "tools/quote_server/synthetic_history.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tools/quote_server/code_profile.h"

namespace pelmo::quote_server {
namespace {

using std::chrono::days;

Day D(int y, int m, int d) {
  return *MakeDay(y, m, d);
}

const Day kToday = D(2026, 12, 7);  // a Monday

SyntheticHistory HistoryOf(const char* code, Day lastDay = kToday) {
  return SyntheticHistory(ProfileOf(code), lastDay);
}

TEST(TradingCalendar, WeekendsAndNewYearDoNotTrade) {
  EXPECT_TRUE(IsTradingDay(D(2007, 1, 5)));     // Friday
  EXPECT_FALSE(IsTradingDay(D(2007, 1, 6)));    // Saturday
  EXPECT_FALSE(IsTradingDay(D(2007, 1, 7)));    // Sunday
  EXPECT_FALSE(IsTradingDay(D(2007, 1, 3)));    // Wednesday, New Year closure
  EXPECT_TRUE(IsTradingDay(D(2007, 1, 4)));     // Thursday
  EXPECT_FALSE(IsTradingDay(D(2008, 12, 31)));  // Wednesday
  EXPECT_TRUE(IsTradingDay(D(2008, 12, 30)));
  EXPECT_EQ(PreviousTradingDay(D(2007, 1, 4)), D(2006, 12, 29));
  EXPECT_EQ(PreviousTradingDay(D(2007, 1, 8)), D(2007, 1, 5));
}

TEST(TradingCalendar, MakeDayRefusesWhatIsNoDay) {
  EXPECT_EQ(MakeDay(2008, 2, 29), D(2008, 2, 29));
  EXPECT_FALSE(MakeDay(2007, 2, 29));
  EXPECT_FALSE(MakeDay(2007, 13, 1));
  EXPECT_FALSE(MakeDay(-1, -1, -1));
  EXPECT_FALSE(MakeDay(2007, 1, 0));
  EXPECT_FALSE(MakeDay(0, 1, 1));
}

TEST(TradingCalendar, JapaneseDatesHaveNoLeadingZeros) {
  EXPECT_EQ(JapaneseDate(D(2007, 1, 5)), "2007年1月5日");
  EXPECT_EQ(JapaneseDate(D(1999, 12, 30)), "1999年12月30日");
  EXPECT_EQ(JapaneseMonth(D(2007, 1, 5)), "2007年1月");
  EXPECT_EQ(MondayOf(D(2007, 1, 7)), D(2007, 1, 1));
  EXPECT_EQ(MondayOf(D(2007, 1, 1)), D(2007, 1, 1));
  EXPECT_EQ(FirstOfMonth(D(2008, 2, 29)), D(2008, 2, 1));
}

TEST(RoundToTick, EachBandHasItsStep) {
  EXPECT_EQ(RoundToTick(0.2), 1);
  EXPECT_EQ(RoundToTick(2999.4), 2999);
  EXPECT_EQ(RoundToTick(2999.6), 3000);
  EXPECT_EQ(RoundToTick(3002.4), 3000);
  EXPECT_EQ(RoundToTick(3002.6), 3005);
  EXPECT_EQ(RoundToTick(29997.4), 29995);
  EXPECT_EQ(RoundToTick(29998.0), 30000);
  EXPECT_EQ(RoundToTick(30004.0), 30000);
  EXPECT_EQ(RoundToTick(30006.0), 30010);
  EXPECT_EQ(RoundToTick(49996.0), 50000);
  EXPECT_EQ(RoundToTick(50030.0), 50050);
  EXPECT_EQ(RoundToTick(312345.0), 312300);
}

bool OnTick(std::int64_t price) {
  const std::int64_t step = price < 3000 ? 1 : price < 30000 ? 5 : price < 50000 ? 10 : 50;
  return price >= 1 && price % step == 0;
}

double SharesFactor(const CodeProfile& profile, Day day) {
  double factor = 1.0;
  for (const StockSplit& split : profile.splits) {
    factor *= day < split.date ? split.sharesAfter / split.sharesBefore : 1.0;
  }
  return factor;
}

TEST(SyntheticHistory, EveryDailyRowIsAPlausibleBar) {
  for (const char* code : {"7203.t", "1301.t", "9984.t", "6758"}) {
    const SyntheticHistory history = HistoryOf(code);
    const auto rows = history.PriceRows(Period::Daily, D(1990, 1, 1), kToday, 1000000);
    ASSERT_GT(rows.size(), 9000u) << code;
    for (const PriceRow& row : rows) {
      SCOPED_TRACE(std::string(code) + " " + JapaneseDate(row.date));
      EXPECT_LE(row.low, std::min(row.open, row.close));
      EXPECT_GE(row.high, std::max(row.open, row.close));
      EXPECT_TRUE(OnTick(row.open) && OnTick(row.high) && OnTick(row.low) && OnTick(row.close));
      EXPECT_GT(row.volume, 0);
      EXPECT_EQ(row.volume % 1000, 0);
      const double factor = SharesFactor(history.Profile(), row.date);
      EXPECT_NEAR(row.adjustedClose, row.close / factor, 0.5);
      if (::testing::Test::HasFailure()) {
        return;
      }
    }
  }
}

// Pinned values: the history must not change between runs, builds or machines.
TEST(SyntheticHistory, PinnedValuesOf7203) {
  const CodeProfile profile = ProfileOf("7203.t");
  EXPECT_EQ(profile.base, "7203");
  EXPECT_EQ(profile.name, "ﾓﾃﾞﾙ建設(株)");
  ASSERT_EQ(profile.splits.size(), 2u);
  EXPECT_EQ(profile.splits[0].date, D(1996, 3, 27));
  EXPECT_EQ(profile.splits[0].sharesAfter, 2.0);
  EXPECT_EQ(profile.splits[1].date, D(2004, 1, 26));
  EXPECT_EQ(profile.splits[1].sharesAfter, 1.5);

  const PriceRow row = HistoryOf("7203.t").DailyRow(D(2007, 3, 30));
  EXPECT_EQ(row.open, 699);
  EXPECT_EQ(row.high, 702);
  EXPECT_EQ(row.low, 684);
  EXPECT_EQ(row.close, 688);
  EXPECT_EQ(row.volume, 125000);
  EXPECT_EQ(row.adjustedClose, 688);
}

TEST(SyntheticHistory, SuffixDoesNotCountButTheBaseDoes) {
  const Day day = D(2001, 6, 1);
  const PriceRow withSuffix = HistoryOf("6758.t").DailyRow(day);
  const PriceRow bare = HistoryOf("6758").DailyRow(day);
  const PriceRow other = HistoryOf("6759.t").DailyRow(day);
  EXPECT_EQ(withSuffix.close, bare.close);
  EXPECT_EQ(withSuffix.volume, bare.volume);
  EXPECT_NE(withSuffix.close, other.close);
}

TEST(SyntheticHistory, SplitsOnlyForNumbersDivisibleBySeven) {
  EXPECT_EQ(ProfileOf("7203.t").splits.size(), 2u);
  EXPECT_EQ(ProfileOf("14.t").splits.size(), 2u);
  EXPECT_TRUE(ProfileOf("7204.t").splits.empty());
  EXPECT_TRUE(ProfileOf("7a.t").splits.empty());
  EXPECT_TRUE(ProfileOf("0007.t").splits.empty());
  EXPECT_FALSE(ProfileOf("0007.t").hasData);
  EXPECT_FALSE(ProfileOf("0123").hasData);
  EXPECT_TRUE(ProfileOf("1234").hasData);
}

TEST(SyntheticHistory, SplitDayChangesThePriceByItsRatio) {
  const SyntheticHistory history = HistoryOf("7203.t");
  for (const StockSplit& split : history.Profile().splits) {
    SCOPED_TRACE(JapaneseDate(split.date));
    const PriceRow before = history.DailyRow(PreviousTradingDay(split.date));
    const PriceRow on = history.DailyRow(split.date);
    const double ratio = split.sharesAfter / split.sharesBefore;
    // The open follows the day before's close in the new shares.
    EXPECT_NEAR(static_cast<double>(on.open), before.close / ratio, before.close / ratio * 0.02);
    EXPECT_GT(before.close, on.close * ratio * 0.8);
    EXPECT_LT(before.close, on.close * ratio * 1.2);
  }
  // After the last split, the adjusted close is the close.
  const PriceRow late = history.DailyRow(D(2010, 6, 1));
  EXPECT_EQ(late.adjustedClose, late.close);
}

TEST(SyntheticHistory, DailyWindowIsNewestFirstAndCut) {
  const SyntheticHistory history = HistoryOf("7203.t");
  const auto rows = history.PriceRows(Period::Daily, D(2007, 1, 1), D(2007, 2, 20), 50);
  ASSERT_EQ(rows.size(), 34u);  // the trading days from 4 January to 20 February
  EXPECT_EQ(rows.front().date, D(2007, 2, 20));
  EXPECT_EQ(rows.back().date, D(2007, 1, 4));
  EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(),
                             [](const PriceRow& a, const PriceRow& b) { return a.date > b.date; }));
  const auto cut = history.PriceRows(Period::Daily, D(2006, 1, 1), D(2007, 2, 20), 50);
  ASSERT_EQ(cut.size(), 50u);
  EXPECT_EQ(cut.front().date, D(2007, 2, 20));
}

TEST(SyntheticHistory, WindowsOutsideTheHistoryHaveNoRows) {
  const SyntheticHistory history = HistoryOf("7203.t", D(2007, 1, 10));
  EXPECT_TRUE(history.PriceRows(Period::Daily, D(2007, 3, 31), D(2007, 1, 5), 50).empty());
  EXPECT_TRUE(history.PriceRows(Period::Daily, D(1980, 1, 1), D(1990, 1, 3), 50).empty());
  EXPECT_TRUE(history.PriceRows(Period::Daily, D(2007, 1, 11), D(2007, 3, 31), 50).empty());
  const auto upToLastDay = history.PriceRows(Period::Daily, D(2007, 1, 1), D(2007, 3, 31), 50);
  ASSERT_FALSE(upToLastDay.empty());
  EXPECT_EQ(upToLastDay.front().date, D(2007, 1, 10));
  EXPECT_EQ(history.PriceRows(Period::Daily, D(1989, 1, 1), D(1990, 1, 5), 50).back().date,
            D(1990, 1, 4));
  EXPECT_TRUE(HistoryOf("0123").PriceRows(Period::Daily, D(2007, 1, 1), kToday, 50).empty());
  EXPECT_TRUE(HistoryOf("0123").MarginRows(D(2007, 1, 1), kToday, 50).empty());
}

TEST(SyntheticHistory, WeeklyRowSummarisesItsWeekAndTakesItsFirstTradingDay) {
  const SyntheticHistory history = HistoryOf("9984.t");
  // The week of Monday 1 January 2007 trades from Thursday the 4th.
  const auto rows = history.PriceRows(Period::Weekly, D(2007, 1, 1), D(2007, 1, 7), 50);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].date, D(2007, 1, 4));
  const PriceRow thursday = history.DailyRow(D(2007, 1, 4));
  const PriceRow friday = history.DailyRow(D(2007, 1, 5));
  EXPECT_EQ(rows[0].open, thursday.open);
  EXPECT_EQ(rows[0].close, friday.close);
  EXPECT_EQ(rows[0].high, std::max(thursday.high, friday.high));
  EXPECT_EQ(rows[0].low, std::min(thursday.low, friday.low));
  EXPECT_EQ(rows[0].volume, thursday.volume + friday.volume);
  EXPECT_EQ(rows[0].adjustedClose, friday.adjustedClose);
  // 50 weeks back from a Sunday: 50 rows, each a week apart or dated later in its week.
  const auto year = history.PriceRows(Period::Weekly, D(2006, 1, 16), D(2006, 12, 31), 50);
  ASSERT_EQ(year.size(), 50u);
  EXPECT_EQ(year.front().date, D(2006, 12, 25));
  EXPECT_EQ(year.back().date, D(2006, 1, 16));
}

TEST(SyntheticHistory, MonthlyRowSummarisesItsMonth) {
  const SyntheticHistory history = HistoryOf("9984.t");
  const auto rows = history.PriceRows(Period::Monthly, D(2007, 1, 1), D(2007, 2, 28), 50);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].date, D(2007, 2, 1));
  EXPECT_EQ(rows[1].date, D(2007, 1, 4));
  const auto days = history.PriceRows(Period::Daily, D(2007, 1, 1), D(2007, 1, 31), 50);
  std::int64_t volume = 0;
  std::int64_t high = 0;
  for (const PriceRow& day : days) {
    volume += day.volume;
    high = std::max(high, day.high);
  }
  EXPECT_EQ(rows[1].volume, volume);
  EXPECT_EQ(rows[1].high, high);
  EXPECT_EQ(rows[1].open, days.back().open);
  EXPECT_EQ(rows[1].close, days.front().close);
  // A window that starts after a month's first trading day leaves that month out.
  EXPECT_EQ(history.PriceRows(Period::Monthly, D(2007, 1, 5), D(2007, 2, 28), 50).size(), 1u);
}

TEST(SyntheticHistory, MarginRowsAreWeeklyWithChangesAndRatio) {
  const SyntheticHistory history = HistoryOf("7203.t");
  const auto rows = history.MarginRows(D(2006, 12, 18), D(2007, 1, 14), 50);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].date, D(2007, 1, 12));
  EXPECT_EQ(rows[1].date, D(2007, 1, 5));
  EXPECT_EQ(rows[2].date, D(2006, 12, 29));  // Sunday the 31st does not trade anyway
  EXPECT_EQ(rows[3].date, D(2006, 12, 22));
  for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
    EXPECT_EQ(rows[i].sellChange, rows[i].sellBalance - rows[i + 1].sellBalance);
    EXPECT_EQ(rows[i].buyChange, rows[i].buyBalance - rows[i + 1].buyBalance);
  }
  for (const MarginRow& row : rows) {
    EXPECT_GT(row.sellBalance, 0);
    EXPECT_NEAR(row.ratioHundredths / 100.0,
                static_cast<double>(row.buyBalance) / static_cast<double>(row.sellBalance), 0.005);
  }
  // A week appears once its last trading day has come.
  const SyntheticHistory midWeek = HistoryOf("7203.t", D(2007, 1, 11));
  EXPECT_EQ(midWeek.MarginRows(D(2007, 1, 1), D(2007, 1, 14), 50).front().date, D(2007, 1, 5));
}

TEST(SyntheticHistory, SplitsWithinTheWindowNewestFirst) {
  const SyntheticHistory history = HistoryOf("7203.t");
  const auto both = history.SplitsWithin(D(1990, 1, 1), kToday);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[0].date, D(2004, 1, 26));
  EXPECT_EQ(history.SplitsWithin(D(1996, 3, 27), D(1996, 3, 27)).size(), 1u);
  EXPECT_TRUE(history.SplitsWithin(D(1996, 3, 28), D(2004, 1, 25)).empty());
  EXPECT_TRUE(HistoryOf("7203.t", D(2000, 1, 1)).SplitsWithin(D(2003, 1, 1), kToday).empty());
}

TEST(CodeProfile, SplitNoteText) {
  EXPECT_EQ(SplitNote({D(2006, 4, 3), 1.0, 2.0}), "分割: 1株 -> 2株");
  EXPECT_EQ(SplitNote({D(2006, 4, 3), 1.0, 1.5}), "分割: 1株 -> 1.5株");
}

TEST(CodeProfile, ValidCodes) {
  for (const char* good : {"7203.t", "7203", "998407.o", "^N225", "A", "1234-5.t"}) {
    EXPECT_TRUE(IsValidCode(good)) << good;
  }
  for (const char* bad : {"", ".t", "72 03", "7203&x", "<b>", "12345678901234567", "-1"}) {
    EXPECT_FALSE(IsValidCode(bad)) << bad;
  }
}

}  // namespace
}  // namespace pelmo::quote_server
