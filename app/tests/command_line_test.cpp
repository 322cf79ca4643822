#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/failure_message.h"

namespace pelmo {
namespace {

// 2007/03/13 15:20:05, the moment the defaults are counted from.
const SerialDate kNow = FromCalendar(2007, 3, 13, 15, 20, 5);

struct Parsed {
  CommandLineOutcome outcome;
  DownloadJob job;
};

Parsed ParseArgs(std::vector<std::string_view> args) {
  Parsed parsed{{}, NewJob(kNow)};
  parsed.outcome = ParseCommandLine(args, parsed.job);
  return parsed;
}

std::string Stamp(const CalendarTime& time) {
  return Format(FromCalendar(time), "%Y/%m/%d %T");
}

TEST(CommandLineDefaults, RangeEndsTheDayBeforeNow) {
  const DownloadJob job = NewJob(kNow);
  EXPECT_EQ(Stamp(job.start), "2007/02/11 15:20:05");
  EXPECT_EQ(Stamp(job.end), "2007/03/12 15:20:05");
  EXPECT_EQ(job.start.dayOfWeek, 0);  // a Sunday
  EXPECT_EQ(job.period, Period::Daily);
  EXPECT_EQ(job.host, "127.0.0.1:8730");
}

TEST(CommandLineOutcomes, UsageAndExitCodes) {
  const struct {
    std::vector<std::string_view> args;
    CommandLineAction action;
    int exitCode;
  } cases[] = {
      {{}, CommandLineAction::Usage, 1},
      {{"-h", "1234"}, CommandLineAction::Usage, 0},
      {{"-h"}, CommandLineAction::Usage, 0},
      {{"-x", "1234"}, CommandLineAction::Usage, 1},
      {{"-pw", "1234"}, CommandLineAction::Usage, 1},
      {{"-T", "1234"}, CommandLineAction::Usage, 1},
      {{"-1234"}, CommandLineAction::Usage, 1},
      {{"-t"}, CommandLineAction::Usage, 1},
      {{"-o", "out.csv"}, CommandLineAction::Usage, 1},
      // An unknown letter ends the parse before the bad date is looked at, and the other
      // way round.
      {{"-x", "-s", "2002/13/01"}, CommandLineAction::Usage, 1},
      {{"-s", "2002/13/01", "-x"}, CommandLineAction::StartDateError, 1},
      {{"-s", "2002/13/01", "1234"}, CommandLineAction::StartDateError, 1},
      {{"-e", "tomorrow", "1234"}, CommandLineAction::EndDateError, 1},
      {{"-se", "2002/04/01", "2002/06/31", "1234"}, CommandLineAction::EndDateError, 1},
      {{"-", "1234"}, CommandLineAction::Run, 0},
      {{"1234", "-s"}, CommandLineAction::Run, 0},
      {{"--host"}, CommandLineAction::Usage, 1},
      {{"1234", "--host"}, CommandLineAction::Usage, 1},
      {{"--host=", "1234"}, CommandLineAction::Usage, 1},
      {{"--host", "ftp://example", "1234"}, CommandLineAction::Usage, 1},
      {{"--host", "example:0", "1234"}, CommandLineAction::Usage, 1},
      {{"--host", "example:65536", "1234"}, CommandLineAction::Usage, 1},
      {{"--host", "http://:80", "1234"}, CommandLineAction::Usage, 1},
      {{"--hosts", "example", "1234"}, CommandLineAction::Usage, 1},
      {{"--help"}, CommandLineAction::Usage, 0},
      {{"1234", "--help", "-t"}, CommandLineAction::Usage, 0},
      {{"--help", "-x"}, CommandLineAction::Usage, 1},
      {{"--helpme", "1234"}, CommandLineAction::Usage, 1},
      {{"--version"}, CommandLineAction::Version, 0},
      {{"--version", "--help"}, CommandLineAction::Usage, 0},
      {{"--version", "-x"}, CommandLineAction::Usage, 1},
      {{"--version", "-s", "2002/13/01"}, CommandLineAction::StartDateError, 1},
      {{"--", "1234"}, CommandLineAction::Run, 0},
      {{"--", "-x"}, CommandLineAction::Run, 0},
      {{"1234", "--"}, CommandLineAction::Run, 0},
      {{"--"}, CommandLineAction::Usage, 1},
      {{"--", "--help"}, CommandLineAction::Run, 0},
      {{""}, CommandLineAction::Usage, 1},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const auto arg : c.args) {
      shown += std::string(arg) + ' ';
    }
    const Parsed parsed = ParseArgs(c.args);
    EXPECT_EQ(parsed.outcome.action, c.action) << shown;
    EXPECT_EQ(parsed.outcome.exitCode, c.exitCode) << shown;
  }
}

TEST(CommandLineOutcomes, RefusalsSayWhy) {
  const struct {
    std::vector<std::string_view> args;
    const char* message;
  } cases[] = {
      {{"1234", "--host"}, "pelmo: --host needs a value"},
      {{"-x", "--host", "ftp://x"}, "pelmo: unknown option -x"},
      {{"-ax"}, "pelmo: unknown option -x in -ax"},
      {{"-", "-7"}, "pelmo: unknown option -7"},
      {{"--hosts", "x"}, "pelmo: unknown option --hosts"},
      {{"---", "1234"}, "pelmo: unknown option ---"},
      {{"--host", "x"}, "pelmo: no code given"},
      {{"1234", "-o", "x.csv", ""}, "pelmo: the code is empty"},
      {{"-s", "2002/02/29", "1234"},
       "pelmo: bad start date '2002/02/29': use YYYY/MM/DD or YYYY-MM-DD"},
      {{"-se", "2002/02/28", "x", "1234"}, "pelmo: bad end date 'x': use YYYY/MM/DD or YYYY-MM-DD"},
      {{"--host", "[::1]:8730", "1234"}, ""},
  };
  for (const auto& c : cases) {
    const Parsed parsed = ParseArgs(c.args);
    const std::string line = *c.message != '\0' ? std::string(c.message) + "\n" : "";
    EXPECT_EQ(FailureLine(parsed.outcome.refused), line) << testing::PrintToString(c.args);
  }
}

// Each accepted value is requested as shown; each refused one says why and stops the
// parse with the usage text, before any request.
TEST(CommandLineHost, AcceptedAndRefusedValues) {
  const struct {
    const char* value;
    const char* requested;  // null when refused
    const char* why;
  } cases[] = {
      {"127.0.0.1:8730", "127.0.0.1:8730", ""},
      {"example.test", "example.test", ""},
      {"Quotes-1.Example.TEST.:80", "Quotes-1.Example.TEST.:80", ""},
      {"HTTP://host", "http://host", ""},
      {"hTTpS://host:8443/prefix/", "https://host:8443/prefix/", ""},
      {"host:043459", "host:43459", ""},
      {"host:00001", "host:1", ""},
      {"host:65535", "host:65535", ""},
      {"[::1]:8730", "[::1]:8730", ""},
      {"http://[::1]/q", "http://[::1]/q", ""},
      {"[2001:db8::7:1]:80", "[2001:db8::7:1]:80", ""},
      {"[::ffff:192.0.2.1]", "[::ffff:192.0.2.1]", ""},
      {"[1:2:3:4:5:6:7:8]", "[1:2:3:4:5:6:7:8]", ""},
      {"[::]", "[::]", ""},
      {"host/p?q=1%20", "host/p?q=1%20", ""},
      {"ftp://x", nullptr, "only http and https"},
      {"", nullptr, "no host name"},
      {"https:///q", nullptr, "no host name"},
      {":8730", nullptr, "no host name"},
      {"x:0", nullptr, "the port must be a number from 1 to 65535"},
      {"x:0000", nullptr, "the port must be a number from 1 to 65535"},
      {"x:65536", nullptr, "the port must be a number from 1 to 65535"},
      {"x:99999999999", nullptr, "the port must be a number from 1 to 65535"},
      {"x:", nullptr, "the port must be a number from 1 to 65535"},
      {"x:80a/q", nullptr, "the port must be a number from 1 to 65535"},
      {"x:+80", nullptr, "the port must be a number from 1 to 65535"},
      {"::1:8730", nullptr,
       "more than one ':'; an IPv6 address goes in brackets, as in [::1]:8730"},
      {"http://h:80:99", nullptr,
       "more than one ':'; an IPv6 address goes in brackets, as in [::1]:8730"},
      {"[::1", nullptr, "not an IPv6 address in brackets"},
      {"[]:80", nullptr, "not an IPv6 address in brackets"},
      {"[1::2::3]", nullptr, "not an IPv6 address in brackets"},
      {"[12345::]", nullptr, "not an IPv6 address in brackets"},
      {"[1:2:3:4:5:6:7:8:9]", nullptr, "not an IPv6 address in brackets"},
      {"[1:2:3:4:5:6:7]", nullptr, "not an IPv6 address in brackets"},
      {"[1.2.3.4::]", nullptr, "not an IPv6 address in brackets"},
      {"[::1%25eth0]", nullptr, "not an IPv6 address in brackets"},
      {"256.0.0.1", nullptr, "not an IPv4 address"},
      {"1.2.3", nullptr, "not an IPv4 address"},
      {"user@host", nullptr, "not a host name (letters, digits, '-' and '.')"},
      {"-host", nullptr, "not a host name (letters, digits, '-' and '.')"},
      {"a..b", nullptr, "not a host name (letters, digits, '-' and '.')"},
      {" 127.0.0.1:8730", nullptr, "spaces and control characters are not allowed"},
      {"host/a b", nullptr, "spaces and control characters are not allowed"},
      {"host\t", nullptr, "spaces and control characters are not allowed"},
      {"host\x7f", nullptr, "spaces and control characters are not allowed"},
  };
  for (const auto& c : cases) {
    const Parsed parsed = ParseArgs({"--host", c.value, "1234"});
    if (c.requested != nullptr) {
      EXPECT_EQ(parsed.outcome.action, CommandLineAction::Run) << c.value;
      EXPECT_EQ(parsed.job.host, c.requested) << c.value;
    } else {
      EXPECT_EQ(parsed.outcome.action, CommandLineAction::Usage) << c.value;
      EXPECT_EQ(parsed.outcome.exitCode, 1) << c.value;
      EXPECT_EQ(FailureLine(parsed.outcome.refused),
                "pelmo: bad --host value '" + std::string(c.value) + "': " + c.why + "\n");
    }
  }
}

TEST(CommandLineCode, CodeAndDerivedOutputPath) {
  const struct {
    std::vector<std::string_view> args;
    const char* code;
    const char* outputPath;
  } cases[] = {
      {{"1234"}, "1234.t", "1234.csv"},
      {{"12345"}, "12345", "12345.csv"},
      {{"123"}, "123", "123.csv"},
      {{"1234.x"}, "1234.x", "1234.csv"},
      {{".t"}, ".t", ".csv"},
      {{"1111", "2222"}, "2222.t", "2222.csv"},
      {{"-o", "out/prices.txt", "1234"}, "1234.t", "out/prices.txt"},
      {{"1234", "-o", "later.csv"}, "1234.t", "later.csv"},
  };
  for (const auto& c : cases) {
    const Parsed parsed = ParseArgs(c.args);
    EXPECT_EQ(parsed.outcome.action, CommandLineAction::Run) << c.code;
    EXPECT_EQ(parsed.job.code, c.code);
    EXPECT_EQ(parsed.job.outputPath, c.outputPath);
  }
}

TEST(CommandLineCode, LongArgumentsAreKeptWhole) {
  const std::string code(400, '7');
  const std::string output = "/tmp/" + std::string(300, 'o') + ".csv";
  const Parsed parsed = ParseArgs({"-o", output, code});
  EXPECT_EQ(parsed.job.code, code);
  EXPECT_EQ(parsed.job.outputPath, output);
  EXPECT_EQ(ParseArgs({code}).job.outputPath, code + ".csv");
}

TEST(CommandLinePeriod, FirstLetterDecides) {
  EXPECT_EQ(ParseArgs({"-p", "q", "1234"}).job.period, Period::Daily);
  EXPECT_EQ(ParseArgs({"-p", "weekly", "1234"}).job.period, Period::Weekly);
  EXPECT_EQ(ParseArgs({"-p", "m", "1234"}).job.period, Period::Monthly);
  EXPECT_EQ(ParseArgs({"-p", "", "1234"}).job.period, Period::Daily);
  // The period takes the argument that would otherwise be the code.
  EXPECT_EQ(ParseArgs({"-p", "1234"}).outcome.exitCode, 1);
}

TEST(CommandLineFlags, MarginForcesWeeklyWithoutAdjustment) {
  const Parsed margin = ParseArgs({"-z", "-a", "-p", "m", "1234"});
  EXPECT_TRUE(margin.job.margin);
  EXPECT_FALSE(margin.job.adjust);
  EXPECT_EQ(margin.job.period, Period::Weekly);

  const Parsed combined = ParseArgs({"-ta", "1234"});
  EXPECT_TRUE(combined.job.tabSeparated);
  EXPECT_TRUE(combined.job.adjust);
  EXPECT_FALSE(combined.job.margin);
  EXPECT_FALSE(ParseArgs({"1234"}).job.tabSeparated);
}

TEST(CommandLineDates, ValuesAndFailures) {
  const Parsed both = ParseArgs({"-se", "2002/04/01", "2002/06/30", "1234"});
  EXPECT_EQ(Stamp(both.job.start), "2002/04/01 00:00:00");
  EXPECT_EQ(Stamp(both.job.end), "2002/06/30 00:00:00");

  const Parsed timed = ParseArgs({"-s", "2002-04-01 9:30", "1234"});
  EXPECT_EQ(Stamp(timed.job.start), "2002/04/01 09:30:00");

  const Parsed trailing = ParseArgs({"1234", "-s"});
  EXPECT_EQ(Stamp(trailing.job.start), "2007/02/11 15:20:05");

  const Parsed bad = ParseArgs({"-s", "2002/13/01", "1234"});
  EXPECT_EQ(Stamp(bad.job.start), "2007/02/11 15:20:05");
}

TEST(CommandLineHost, WholeArgumentForms) {
  EXPECT_EQ(ParseArgs({"--host", "example.test:8080", "1234"}).job.host, "example.test:8080");
  EXPECT_EQ(ParseArgs({"1234", "--host=https://quotes.test/q"}).job.host, "https://quotes.test/q");
  const Parsed prefixed = ParseArgs({"--host", "http://127.0.0.1:8730/quotes", "-t", "1234"});
  EXPECT_EQ(prefixed.job.host, "http://127.0.0.1:8730/quotes");
  EXPECT_TRUE(prefixed.job.tabSeparated);
  EXPECT_EQ(ParseArgs({"--host", "[::1]:8730", "1234"}).job.host, "[::1]:8730");
  // A pending value does not swallow --host.
  const Parsed pending = ParseArgs({"-o", "--host", "h", "x.csv", "1234"});
  EXPECT_EQ(pending.job.host, "h");
  EXPECT_EQ(pending.job.outputPath, "x.csv");
}

}  // namespace
}  // namespace pelmo
