#include "records/quote_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace pelmo {
namespace {

SerialDate Day(double value) {
  return {value, DateStatus::Valid};
}

// The record's date and first value tell the cases apart.
QuoteRecord Row(SerialDate date, float tag) {
  QuoteRecord record;
  record.date = date;
  record.values[0] = tag;
  return record;
}

std::vector<float> Tags(const QuoteSeries& series) {
  std::vector<float> tags;
  for (const QuoteRecord& record : series.Records()) {
    tags.push_back(record.values[0]);
  }
  return tags;
}

TEST(QuoteSeriesReplace, RemovesTheFirstEqualDateAndAppends) {
  QuoteSeries series;
  series.Append(Row(Day(10), 1));
  series.Append(Row(Day(11), 2));
  series.Append(Row(Day(12), 3));
  series.ReplaceByDate(Row(Day(11), 4));
  EXPECT_EQ(Tags(series), (std::vector<float>{1, 3, 4}));
  series.ReplaceByDate(Row(Day(13), 5));
  EXPECT_EQ(Tags(series), (std::vector<float>{1, 3, 4, 5}));
  EXPECT_EQ(series.size(), 4u);
}

TEST(QuoteSeriesReplace, OnlyTheFirstOfTwoEqualDatesGoes) {
  QuoteSeries series;
  series.Append(Row(Day(10), 1));
  series.Append(Row(Day(10), 2));
  series.ReplaceByDate(Row(Day(10), 3));
  EXPECT_EQ(Tags(series), (std::vector<float>{2, 3}));
  // The next row of that date replaces the older survivor, not the page row.
  series.ReplaceByDate(Row(Day(10), 4));
  EXPECT_EQ(Tags(series), (std::vector<float>{3, 4}));
}

TEST(QuoteSeriesReplace, DateStatusesFollowEquals) {
  QuoteSeries series;
  series.Append(Row(SerialDate::Invalid(), 1));
  series.Append(Row(SerialDate::Null(), 2));
  series.Append(Row(Day(0.0), 3));
  series.ReplaceByDate(Row(SerialDate::Invalid(), 4));  // two invalid dates never match
  series.ReplaceByDate(Row(SerialDate::Null(), 5));
  series.ReplaceByDate(Row(Day(-0.0), 6));
  series.ReplaceByDate(Row(Day(std::nan("")), 7));
  series.ReplaceByDate(Row(Day(std::nan("")), 8));
  EXPECT_EQ(Tags(series), (std::vector<float>{1, 4, 5, 6, 7, 8}));
}

TEST(QuoteSeriesReplace, ReadingBetweenReplacementsKeepsTheIndexRight) {
  QuoteSeries series;
  series.Append(Row(Day(1), 1));
  series.Append(Row(Day(2), 2));
  series.Append(Row(Day(1), 3));
  series.ReplaceByDate(Row(Day(1), 4));
  ASSERT_EQ(Tags(series), (std::vector<float>{2, 3, 4}));
  series.ReplaceByDate(Row(Day(1), 5));
  EXPECT_EQ(Tags(series), (std::vector<float>{2, 4, 5}));
  series.MutableRecords()[0].date = Day(1);
  series.ReplaceByDate(Row(Day(1), 6));
  EXPECT_EQ(Tags(series), (std::vector<float>{4, 5, 6}));
  // Records added and dropped through MutableRecords() count as well.
  series.MutableRecords().erase(series.MutableRecords().begin());
  for (int i = 0; i < 200; ++i) {
    series.MutableRecords().push_back(Row(Day(100 + i), 100.0f + i));
  }
  series.ReplaceByDate(Row(Day(299), 7));
  series.ReplaceByDate(Row(Day(1), 8));
  EXPECT_EQ(series.size(), 202u);
  const std::vector<float> tags = Tags(series);
  ASSERT_EQ(tags.size(), 202u);
  EXPECT_EQ(tags.front(), 6);
  EXPECT_EQ(tags[199], 298);
  EXPECT_EQ(tags[200], 7);
  EXPECT_EQ(tags.back(), 8);
}

// Many replacements over a small pool of dates, through several compactions, against a
// plain scan of a vector.
TEST(QuoteSeriesReplace, LongMergeMatchesALinearScan) {
  std::mt19937 random(7);
  QuoteSeries series;
  std::vector<QuoteRecord> expected;
  for (int i = 0; i < 20000; ++i) {
    const int pick = static_cast<int>(random() % 60);
    const SerialDate date = pick == 0   ? SerialDate::Null()
                            : pick == 1 ? SerialDate::Invalid()
                                        : Day(pick);
    const QuoteRecord record = Row(date, static_cast<float>(i));
    if (random() % 4 == 0) {
      series.Append(record);
    } else {
      series.ReplaceByDate(record);
      const auto same = std::find_if(expected.begin(), expected.end(),
                                     [&](const QuoteRecord& r) { return Equals(r.date, date); });
      if (same != expected.end()) {
        expected.erase(same);
      }
    }
    expected.push_back(record);
    if (i == 9000) {
      series.SortByDate();
      std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
        const bool av = a.date.IsValid(), bv = b.date.IsValid();
        return av != bv ? av : av && a.date.value < b.date.value;
      });
    }
  }
  ASSERT_EQ(series.size(), expected.size());
  std::vector<float> expectedTags;
  for (const QuoteRecord& record : expected) {
    expectedTags.push_back(record.values[0]);
  }
  EXPECT_EQ(Tags(series), expectedTags);
}

// Values whose bits differ although Equals holds, or that sit next to each other, among
// enough dates that the index grows several times.
TEST(QuoteSeriesReplace, ManyDistinctValuesMatchALinearScan) {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<SerialDate> pool = {
      Day(0.0),    Day(-0.0),         Day(5e-324),        Day(-5e-324),         Day(1e308),
      Day(-1e308), Day(inf),          Day(-inf),          Day(-1.25),           Day(-1.75),
      Day(0.5),    Day(std::nan("")), SerialDate::Null(), SerialDate::Invalid()};
  for (int i = 0; i < 1500; ++i) {
    pool.push_back(Day(39000 + i));
    pool.push_back(Day(39000 + i + 0.25));
  }
  std::mt19937 random(11);
  QuoteSeries series;
  std::vector<QuoteRecord> expected;
  for (int i = 0; i < 12000; ++i) {
    // The special values come up as often as the rest together.
    const std::size_t pick = random() % 2 == 0 ? random() % 14 : random() % pool.size();
    const QuoteRecord record = Row(pool[pick], static_cast<float>(i));
    if (random() % 10 == 0) {
      series.Append(record);
    } else {
      series.ReplaceByDate(record);
      const auto same = std::find_if(expected.begin(), expected.end(), [&](const QuoteRecord& r) {
        return Equals(r.date, record.date);
      });
      if (same != expected.end()) {
        expected.erase(same);
      }
    }
    expected.push_back(record);
  }
  std::vector<float> expectedTags;
  for (const QuoteRecord& record : expected) {
    expectedTags.push_back(record.values[0]);
  }
  EXPECT_EQ(Tags(series), expectedTags);
}

TEST(QuoteSeriesSort, ValidDatesFirstThenTheRestInOrder) {
  QuoteSeries series;
  series.Append(Row(SerialDate::Invalid(), 1));
  series.Append(Row(Day(5), 2));
  series.Append(Row(SerialDate::Null(), 3));
  series.Append(Row(Day(-1.75), 4));  // 29 Dec 1899 18:00
  series.Append(Row(Day(5), 5));
  series.Append(Row(Day(-1.25), 6));  // 29 Dec 1899 06:00
  series.Append(Row(Day(std::nan("")), 7));
  series.Append(Row(SerialDate::Invalid(), 8));
  series.Append(Row(Day(-2.0), 9));
  series.SortByDate();
  EXPECT_EQ(Tags(series), (std::vector<float>{9, 6, 4, 2, 5, 1, 3, 7, 8}));
}

TEST(QuoteSeriesSort, ReplacementAfterSortingFindsTheFirstInTheNewOrder) {
  QuoteSeries series;
  series.Append(Row(Day(9), 1));
  series.Append(Row(Day(3), 2));
  series.Append(Row(Day(3), 3));
  series.SortByDate();
  series.ReplaceByDate(Row(Day(3), 4));
  EXPECT_EQ(Tags(series), (std::vector<float>{3, 1, 4}));
}

// Room is only a hint: asked for more than can be had, the series goes on as before.
TEST(QuoteSeriesReserve, MoreRoomThanCanBeHadChangesNothing) {
  QuoteSeries series;
  series.Append(Row(Day(1), 1));
  series.Reserve(std::numeric_limits<std::size_t>::max() / 2);
  series.ReplaceByDate(Row(Day(1), 2));
  series.Append(Row(Day(2), 3));
  EXPECT_EQ(Tags(series), (std::vector<float>{2, 3}));
}

}  // namespace
}  // namespace pelmo
