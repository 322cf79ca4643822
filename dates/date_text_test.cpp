#include <gtest/gtest.h>

#include "dates/serial_date.h"

namespace pelmo {
namespace {

std::string Stamp(SerialDate date) {
  return Format(date, "%Y/%m/%d %H:%M:%S");
}

TEST(DateParse, AcceptedForms) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"2002/04/01", "2002/04/01 00:00:00"},      {"2002-04-01", "2002/04/01 00:00:00"},
      {"2002/4/1", "2002/04/01 00:00:00"},        {"  2002/04/01", "2002/04/01 00:00:00"},
      {"2002/04/01\n", "2002/04/01 00:00:00"},    {"2002/04/01\r\n", "2002/04/01 00:00:00"},
      {"2002/04/01 9:05", "2002/04/01 09:05:00"}, {"2002/04/01\t23:59:58 ", "2002/04/01 23:59:58"},
      {"0100/01/01", "100/01/01 00:00:00"},       {"100/1/1", "100/01/01 00:00:00"},
      {"9999/12/31", "9999/12/31 00:00:00"},      {"2004/02/29", "2004/02/29 00:00:00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Stamp(Parse(c.text, TimeOfDay::Keep)), c.expected) << c.text;
  }
}

TEST(DateParse, RejectedForms) {
  const char* cases[] = {
      "",
      " ",
      "2002/13/01",
      "2002/02/29",
      "2002/04/00",
      "99/04/01",
      "0099/04/01",
      "12345/04/01",
      "2002/004/01",
      "2002/04/001",
      "2002/04-01",
      "2002.04.01",
      "2002/04/01x",
      "2002/04/01 x",
      "2002/04/0112:00",
      "04/01/2002",
      "2002/04",
      "2002/04/01 24:00",
      "2002/04/01 9:60",
      "2002/04/01 9:5",
      "2002/04/01 9:05:60",
      "2002/04/01 9:05:1",
      "+2002/04/01",
      "2002/ 4/01",
  };
  for (const char* text : cases) {
    EXPECT_EQ(Parse(text, TimeOfDay::Keep).status, DateStatus::Invalid) << '"' << text << '"';
    EXPECT_EQ(Parse(text, TimeOfDay::Drop).status, DateStatus::Invalid) << '"' << text << '"';
  }
}

TEST(DateParse, DateOnlyDropsTheTimeOfDay) {
  EXPECT_EQ(Stamp(Parse("2002/04/01 12:30", TimeOfDay::Drop)), "2002/04/01 00:00:00");
  EXPECT_DOUBLE_EQ(Parse("2002/04/01 12:00", TimeOfDay::Keep).value,
                   Parse("2002/04/01", TimeOfDay::Drop).value + 0.5);
  // Before the epoch the fraction of a negative value still reads forward.
  EXPECT_DOUBLE_EQ(Parse("1899/12/29 06:00", TimeOfDay::Keep).value, -1.25);
}

TEST(DateFormat, StatusesAndPatterns) {
  const SerialDate date = FromCalendar(2007, 3, 13);
  EXPECT_EQ(Format(date, "%Y/%m/%d"), "2007/03/13");
  EXPECT_EQ(Format(FromCalendar(2007, 3, 1), "%d %b %Y"), "01 Mar 2007");
  EXPECT_EQ(Format(date, "%a %j"), "Tue 072");
  EXPECT_EQ(Format(SerialDate::Invalid(), "%Y/%m/%d"), "Invalid DateTime");
  EXPECT_EQ(Format(SerialDate::Null(), "%Y/%m/%d"), "");
  EXPECT_EQ(Format({1e9, DateStatus::Valid}, "%Y/%m/%d"), "Invalid DateTime");
  EXPECT_EQ(Format(date, ""), "");
  EXPECT_EQ(Format(date, std::string(300, 'x').c_str()), std::string(300, 'x'));
}

}  // namespace
}  // namespace pelmo
