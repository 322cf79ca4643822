#include "app/download/split_adjust.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace pelmo {
namespace {

QuoteRecord Record(int year, int month, int day, double close, double volume,
                   RecordSource source = RecordSource::Page) {
  QuoteRecord record;
  record.date = FromCalendar(year, month, day);
  record.values = {close - 1, close + 1, close - 3, close, volume, close - 2};
  record.source = source;
  return record;
}

SplitEvent Split(int year, int month, int day, float before, float after) {
  return {FromCalendar(year, month, day), before, after};
}

// No existing file: every record is a page record.
void Adjust(std::vector<QuoteRecord>& records, const std::vector<SplitEvent>& splits) {
  AdjustForSplits(records, splits, SerialDate::Null());
}

TEST(AdjustForSplitsTest, OneSplitHalvesEarlierPrices) {
  std::vector<QuoteRecord> records = {Record(2006, 3, 31, 1001, 1000),
                                      Record(2006, 4, 1, 600, 3000)};
  Adjust(records, {Split(2006, 4, 1, 1, 2)});
  const std::array<double, 6> before = {500, 501, 499, 500.5, 2000, 1001};
  EXPECT_EQ(records[0].values, before);
  const std::array<double, 6> onSplitDay = {599, 601, 597, 600, 3000, 600};
  EXPECT_EQ(records[1].values, onSplitDay);
}

TEST(AdjustForSplitsTest, FloorsToHundredthsInFloatArithmetic) {
  std::vector<QuoteRecord> records = {Record(2006, 3, 31, 1001.03, 333),
                                      Record(2006, 3, 30, 1000, 23456789)};
  Adjust(records, {Split(2006, 4, 1, 1, 2)});
  // 50051.50... floors to 50051; times 0.01f lands one float below 500.51.
  EXPECT_EQ(records[0].values[3], 500.5099792480469);
  EXPECT_EQ(records[0].values[4], 666.0);
  // The volume is narrowed to the float 23456788 before it is doubled, as the rescaled
  // files of earlier runs hold it.
  EXPECT_EQ(records[1].values[4], 46913576.0);
}

TEST(AdjustForSplitsTest, SplitsApplyLastFirstAndSixthValueFollowsEachPass) {
  std::vector<QuoteRecord> records = {Record(2006, 3, 31, 1200, 1000), Record(2006, 6, 1, 900, 10),
                                      Record(2006, 11, 1, 700, 10)};
  Adjust(records, {Split(2006, 4, 1, 1, 2), Split(2006, 10, 1, 1, 3)});
  EXPECT_EQ(records[0].values[3], 200.0);
  EXPECT_EQ(records[0].values[4], 6000.0);
  // The sixth value holds the close as it stood before the last pass.
  EXPECT_EQ(records[0].values[5], 400.0);
  EXPECT_EQ(records[1].values[3], 300.0);
  EXPECT_EQ(records[1].values[5], 300.0);
  EXPECT_EQ(records[2].values[3], 700.0);
  EXPECT_EQ(records[2].values[5], 700.0);
}

TEST(AdjustForSplitsTest, NoSplitsLeavesRecordsUnchanged) {
  std::vector<QuoteRecord> records = {Record(2006, 3, 31, 1001, 1000)};
  const auto original = records;
  Adjust(records, {});
  EXPECT_EQ(records[0].values, original[0].values);
}

TEST(AdjustForSplitsTest, UnusableShareCountsRescaleNothing) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (const auto& [before, after] : std::vector<std::pair<float, float>>{
           {1, 0}, {0, 2}, {-1, 2}, {1, -2}, {inf, 2}, {1, inf}, {nan, 2}, {1, nan}}) {
    std::vector<QuoteRecord> records = {
        Record(2006, 3, 31, 1001, 1000),
        Record(2006, 3, 30, 1001, 1000, RecordSource::ExistingFile)};
    Adjust(records, {Split(2006, 4, 1, before, after)});
    const std::array<double, 6> copied = {1000, 1002, 998, 1001, 1000, 1001};
    EXPECT_EQ(records[0].values, copied) << before << " -> " << after;
    const std::array<double, 6> stored = {1000, 1002, 998, 1001, 1000, 999};
    EXPECT_EQ(records[1].values, stored) << before << " -> " << after;
  }
}

TEST(AdjustForSplitsTest, InvalidDatesAreNeverBeforeASplit) {
  std::vector<QuoteRecord> records = {Record(2006, 3, 31, 1001, 1000)};
  records[0].date = SerialDate::Invalid();
  Adjust(records, {Split(2006, 4, 1, 1, 2)});
  EXPECT_EQ(records[0].values[3], 1001.0);
  EXPECT_EQ(records[0].values[5], 1001.0);
}

// A file that holds a row from the split day on was written after the split: its older rows
// are rescaled already, and rescaling them again would compound with every run.
TEST(AdjustForSplitsTest, StoredRowsFollowWhetherTheFileReachesTheSplit) {
  const auto stored = [](int day, double close) {
    return Record(2006, 3, day, close, 1000, RecordSource::ExistingFile);
  };
  const std::vector<QuoteRecord> original = {stored(30, 1001), Record(2006, 3, 31, 1001, 1000),
                                             stored(31, 700)};
  const std::vector<SplitEvent> splits = {Split(2006, 3, 31, 1, 2)};

  std::vector<QuoteRecord> records = original;
  AdjustForSplits(records, splits, FromCalendar(2006, 3, 31));
  EXPECT_EQ(records[0].values, original[0].values);  // the sixth value too
  EXPECT_EQ(records[2].values, original[2].values);

  records = original;
  AdjustForSplits(records, splits, FromCalendar(2006, 4, 3));
  EXPECT_EQ(records[0].values, original[0].values);

  // A file that ends before the split day is rescaled as page rows are.
  records = {original[0], original[1]};
  AdjustForSplits(records, splits, FromCalendar(2006, 3, 30));
  const std::array<double, 6> rescaled = {500, 501, 499, 500.5, 2000, 1001};
  EXPECT_EQ(records[0].values, rescaled);
  // Page rows before the split are rescaled whatever the file holds.
  for (const SerialDate through : {FromCalendar(2006, 3, 30), FromCalendar(2007, 1, 1)}) {
    records = original;
    records[1].date = FromCalendar(2006, 3, 29);
    AdjustForSplits(records, splits, through);
    EXPECT_EQ(records[1].values, rescaled);
  }
}

TEST(LatestStoredDateTest, OnlyValidDatesOfStoredRows) {
  std::vector<QuoteRecord> records = {Record(2006, 3, 1, 1, 1, RecordSource::ExistingFile),
                                      Record(2007, 1, 1, 1, 1),
                                      Record(2006, 5, 1, 1, 1, RecordSource::ExistingFile),
                                      Record(2006, 4, 1, 1, 1, RecordSource::ExistingFile)};
  records.push_back(records[0]);
  records.back().date = SerialDate::Invalid();
  EXPECT_TRUE(Equals(LatestStoredDate(records), FromCalendar(2006, 5, 1)));
  records.resize(2);
  records[0].source = RecordSource::Page;
  EXPECT_EQ(LatestStoredDate(records).status, DateStatus::Null);
}

}  // namespace
}  // namespace pelmo
