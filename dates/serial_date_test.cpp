#include "dates/serial_date.h"

#include <gtest/gtest.h>

namespace pelmo {
namespace {

SerialDate Ymd(int year, int month, int day) {
  return FromCalendar(year, month, day);
}

TEST(SerialDateConversion, KnownSerialValues) {
  EXPECT_DOUBLE_EQ(FromCalendar(1899, 12, 30).value, 0.0);
  EXPECT_DOUBLE_EQ(FromCalendar(1900, 1, 1, 12, 0, 0).value, 2.5);
  EXPECT_DOUBLE_EQ(Ymd(2007, 3, 13).value, 39154.0);
  EXPECT_DOUBLE_EQ(Ymd(9999, 12, 31).value, 2958465.0);
  EXPECT_DOUBLE_EQ(Ymd(100, 1, 1).value, -657434.0);
}

TEST(SerialDateConversion, BeforeTheEpochTheFractionCountsForward) {
  EXPECT_DOUBLE_EQ(FromCalendar(1899, 12, 29, 6, 0, 0).value, -1.25);
  EXPECT_DOUBLE_EQ(FromCalendar(1899, 12, 29, 18, 0, 0).value, -1.75);
  const auto back = ToCalendar({-1.25, DateStatus::Valid});
  ASSERT_TRUE(back);
  EXPECT_EQ(back->year, 1899);
  EXPECT_EQ(back->month, 12);
  EXPECT_EQ(back->day, 29);
  EXPECT_EQ(back->hour, 6);
  EXPECT_EQ(back->minute, 0);
}

TEST(SerialDateConversion, CalendarRoundTripToTheSecond) {
  const SerialDate date = FromCalendar(2002, 4, 1, 23, 59, 59);
  const auto time = ToCalendar(date);
  ASSERT_TRUE(time);
  EXPECT_EQ(time->year, 2002);
  EXPECT_EQ(time->month, 4);
  EXPECT_EQ(time->day, 1);
  EXPECT_EQ(time->hour, 23);
  EXPECT_EQ(time->minute, 59);
  EXPECT_EQ(time->second, 59);
  EXPECT_EQ(time->milliseconds, 0);
  EXPECT_EQ(time->dayOfWeek, 1);  // Monday
}

TEST(SerialDateConversion, FieldsOutsideTheCalendarAreInvalid) {
  EXPECT_FALSE(Ymd(2002, 13, 1).IsValid());
  EXPECT_FALSE(Ymd(2002, 2, 29).IsValid());
  EXPECT_TRUE(Ymd(2004, 2, 29).IsValid());
  EXPECT_FALSE(Ymd(2002, 4, 0).IsValid());
  EXPECT_FALSE(Ymd(99, 12, 31).IsValid());
  EXPECT_FALSE(Ymd(10000, 1, 1).IsValid());
  EXPECT_FALSE(FromCalendar(2002, 4, 1, 24, 0, 0).IsValid());
  EXPECT_FALSE(FromCalendar(2002, 4, 1, 0, 60, 0).IsValid());
  EXPECT_FALSE(FromCalendar(2002, 4, 1, 0, 0, 60).IsValid());
  // Month 0 of year 100 would be year 99.
  EXPECT_FALSE(Ymd(100, 0, 1).IsValid());
}

TEST(SerialDateConversion, MonthZeroIsDecemberOfTheYearBefore) {
  const SerialDate date = Ymd(2003, 0, 1);
  EXPECT_EQ(Format(date, "%Y/%m/%d"), "2002/12/01");
}

TEST(SerialDateConversion, FieldAccessors) {
  EXPECT_EQ(DayOfWeek(Ymd(2007, 1, 1)), 2);
  EXPECT_EQ(DayOfWeek(Ymd(2007, 3, 18)), 1);
  EXPECT_EQ(DayOfWeek(Ymd(2007, 3, 17)), 7);
  EXPECT_EQ(Year(Ymd(2007, 3, 13)), 2007);
  EXPECT_EQ(Month(Ymd(2007, 3, 13)), 3);
  EXPECT_EQ(Day(Ymd(2007, 3, 13)), 13);
  EXPECT_EQ(Year(SerialDate::Invalid()), -1);
  EXPECT_EQ(DayOfWeek(SerialDate::Null()), -1);
  // Beyond year 9999 the value cannot be broken down.
  EXPECT_EQ(Month({3000000.0, DateStatus::Valid}), -1);
  EXPECT_FALSE(ToCalendar({1e300, DateStatus::Valid}));
}

TEST(SerialDateConversion, LocalTimeOfAClockReading) {
  std::tm fields{};
  fields.tm_year = 2007 - 1900;
  fields.tm_mon = 2;
  fields.tm_mday = 13;
  fields.tm_hour = 9;
  fields.tm_min = 30;
  fields.tm_sec = 15;
  fields.tm_isdst = -1;
  const std::time_t seconds = std::mktime(&fields);
  EXPECT_EQ(Format(FromLocalTime(seconds), "%Y/%m/%d %H:%M:%S"), "2007/03/13 09:30:15");
  EXPECT_TRUE(Now().IsValid());
}

TEST(SerialDateArithmetic, NegativeValuesMoveOnTheLinearCount) {
  EXPECT_DOUBLE_EQ(LinearDays(-1.25), -0.75);
  EXPECT_DOUBLE_EQ(FromLinearDays(-0.75), -1.25);
  EXPECT_DOUBLE_EQ(AddDays({-1.25, DateStatus::Valid}, 1.0).value, 0.25);
  EXPECT_DOUBLE_EQ(SubtractDays({2.5, DateStatus::Valid}, 3.0).value, -1.5);
  EXPECT_DOUBLE_EQ(SubtractDays({0.25, DateStatus::Valid}, 2.0).value, -2.25);  // 28 Dec 06:00
  EXPECT_TRUE(AddDays(SerialDate::Invalid(), 1.0).IsValid());
}

TEST(SerialDateArithmetic, DaysBetweenAndWholeDays) {
  const DaySpan span = DaysBetween(Ymd(2007, 3, 31), Ymd(2007, 1, 1));
  EXPECT_EQ(span.status, DateStatus::Valid);
  EXPECT_EQ(WholeDays(span), 89);
  EXPECT_EQ(WholeDays(DaysBetween(Ymd(2007, 1, 1), Ymd(2007, 3, 31))), -89);
  EXPECT_EQ(Format(SubtractDays(Ymd(2007, 3, 31), 50.0), "%Y/%m/%d"), "2007/02/09");
  // 29 Dec 06:00 (-1.25) to 30 Dec 06:00 (0.25) is one day, not 1.5.
  EXPECT_DOUBLE_EQ(DaysBetween({0.25, DateStatus::Valid}, {-1.25, DateStatus::Valid}).days, 1.0);
}

TEST(SerialDateArithmetic, WholeDaysRoundsWithinHalfASecond) {
  EXPECT_EQ(WholeDays({29.9999999, DateStatus::Valid}), 30);
  EXPECT_EQ(WholeDays({29.99999, DateStatus::Valid}), 29);
  EXPECT_EQ(WholeDays({-5.3, DateStatus::Valid}), -5);
  EXPECT_EQ(WholeDays({-29.9999999, DateStatus::Valid}), -30);
  EXPECT_EQ(WholeDays({12.0, DateStatus::Invalid}), 0);
}

TEST(SerialDateArithmetic, SpanStatusAndLimit) {
  EXPECT_EQ(DaysBetween(SerialDate::Invalid(), Ymd(2007, 1, 1)).status, DateStatus::Invalid);
  EXPECT_EQ(DaysBetween(Ymd(2007, 1, 1), SerialDate::Null()).status, DateStatus::Null);
  EXPECT_EQ(DaysBetween({3615897.0, DateStatus::Valid}, {0.0, DateStatus::Valid}).status,
            DateStatus::Valid);
  EXPECT_EQ(DaysBetween({3615898.0, DateStatus::Valid}, {0.0, DateStatus::Valid}).status,
            DateStatus::Invalid);
  EXPECT_EQ(DaysBetween({0.0, DateStatus::Valid}, {3615898.0, DateStatus::Valid}).status,
            DateStatus::Invalid);
}

TEST(SerialDateComparison, IsBefore) {
  const SerialDate early = Ymd(2007, 1, 1);
  const SerialDate late = Ymd(2007, 3, 31);
  EXPECT_TRUE(IsBefore(early, late));
  EXPECT_FALSE(IsBefore(late, early));
  EXPECT_FALSE(IsBefore(early, early));
  EXPECT_FALSE(IsBefore(SerialDate::Invalid(), late));
  EXPECT_FALSE(IsBefore(late, SerialDate::Invalid()));
  EXPECT_FALSE(IsBefore(SerialDate::Null(), late));
  // -1.75 (29 Dec, 18:00) comes after -1.25 (29 Dec, 06:00).
  EXPECT_TRUE(IsBefore({-1.25, DateStatus::Valid}, {-1.75, DateStatus::Valid}));
  EXPECT_TRUE(IsBefore({-2.0, DateStatus::Valid}, {-1.75, DateStatus::Valid}));
}

TEST(SerialDateComparison, Equals) {
  EXPECT_TRUE(Equals(Ymd(2007, 1, 1), Ymd(2007, 1, 1)));
  EXPECT_FALSE(Equals(Ymd(2007, 1, 1), Ymd(2007, 1, 2)));
  EXPECT_FALSE(Equals(SerialDate::Invalid(), SerialDate::Invalid()));
  EXPECT_TRUE(Equals(SerialDate::Null(), SerialDate::Null()));
  EXPECT_FALSE(Equals(SerialDate::Null(), SerialDate{0.0, DateStatus::Valid}));
}

}  // namespace
}  // namespace pelmo
