#include "app/split_adjust.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace pelmo {
namespace {

QuoteRecord Record(int year, int month, int day, float close, float volume) {
  QuoteRecord record;
  record.date = FromCalendar(year, month, day);
  record.values = {close - 1, close + 1, close - 3, close, volume, close - 2};
  return record;
}

SplitEvent Split(int year, int month, int day, float before, float after) {
  return {FromCalendar(year, month, day), before, after};
}

TEST(AdjustForSplitsTest, OneSplitHalvesEarlierPrices) {
  std::vector<QuoteRecord> records = {Record(2006, 3, 31, 1001, 1000),
                                      Record(2006, 4, 1, 600, 3000)};
  std::vector<SplitEvent> splits = {Split(2006, 4, 1, 1, 2)};
  AdjustForSplits(records, splits);
  EXPECT_TRUE(splits.empty());
  const std::array<double, 6> before = {500, 501, 499, 500.5f, 2000, 1001};
  EXPECT_EQ(records[0].values, before);
  const std::array<double, 6> onSplitDay = {599, 601, 597, 600, 3000, 600};
  EXPECT_EQ(records[1].values, onSplitDay);
}

TEST(AdjustForSplitsTest, FloorsToHundredthsWithFloatConstant) {
  std::vector<QuoteRecord> records = {Record(2006, 3, 31, 1001.03f, 333)};
  std::vector<SplitEvent> splits = {Split(2006, 4, 1, 1, 2)};
  AdjustForSplits(records, splits);
  // 50051.50... floors to 50051; times 0.01f lands one float below 500.51.
  EXPECT_EQ(records[0].values[3], 500.5099792480469f);
  EXPECT_EQ(records[0].values[4], 666.0f);
}

TEST(AdjustForSplitsTest, SplitsApplyLastFirstAndSixthValueFollowsEachPass) {
  std::vector<QuoteRecord> records = {Record(2006, 3, 31, 1200, 1000), Record(2006, 6, 1, 900, 10),
                                      Record(2006, 11, 1, 700, 10)};
  std::vector<SplitEvent> splits = {Split(2006, 4, 1, 1, 2), Split(2006, 10, 1, 1, 3)};
  AdjustForSplits(records, splits);
  EXPECT_TRUE(splits.empty());
  EXPECT_EQ(records[0].values[3], 200.0f);
  EXPECT_EQ(records[0].values[4], 6000.0f);
  // The sixth value holds the close as it stood before the last pass.
  EXPECT_EQ(records[0].values[5], 400.0f);
  EXPECT_EQ(records[1].values[3], 300.0f);
  EXPECT_EQ(records[1].values[5], 300.0f);
  EXPECT_EQ(records[2].values[3], 700.0f);
  EXPECT_EQ(records[2].values[5], 700.0f);
}

TEST(AdjustForSplitsTest, NoSplitsLeavesRecordsUnchanged) {
  std::vector<QuoteRecord> records = {Record(2006, 3, 31, 1001, 1000)};
  const auto original = records;
  std::vector<SplitEvent> splits;
  AdjustForSplits(records, splits);
  EXPECT_EQ(records[0].values, original[0].values);
}

TEST(AdjustForSplitsTest, UnusableShareCountsRescaleNothing) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (const auto& [before, after] : std::vector<std::pair<float, float>>{
           {1, 0}, {0, 2}, {-1, 2}, {1, -2}, {inf, 2}, {1, inf}, {nan, 2}, {1, nan}}) {
    std::vector<QuoteRecord> records = {Record(2006, 3, 31, 1001, 1000)};
    std::vector<SplitEvent> splits = {Split(2006, 4, 1, before, after)};
    AdjustForSplits(records, splits);
    const std::array<double, 6> expected = {1000, 1002, 998, 1001, 1000, 1001};
    EXPECT_EQ(records[0].values, expected) << before << " -> " << after;
    EXPECT_TRUE(splits.empty());
  }
}

TEST(AdjustForSplitsTest, InvalidDatesAreNeverBeforeASplit) {
  std::vector<QuoteRecord> records = {Record(2006, 3, 31, 1001, 1000)};
  records[0].date = SerialDate::Invalid();
  std::vector<SplitEvent> splits = {Split(2006, 4, 1, 1, 2)};
  AdjustForSplits(records, splits);
  EXPECT_EQ(records[0].values[3], 1001.0f);
  EXPECT_EQ(records[0].values[5], 1001.0f);
}

}  // namespace
}  // namespace pelmo
