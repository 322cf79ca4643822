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

TEST(CommandLineOutcomes, RefusedHostSaysWhy) {
  const struct {
    std::vector<std::string_view> args;
    const char* message;
  } cases[] = {
      {{"--host", "ftp://x", "1234"}, "pelmo: bad --host value 'ftp://x': only http and https"},
      {{"--host=HTTP://x", "1234"}, "pelmo: bad --host value 'HTTP://x': only http and https"},
      {{"--host", "x:0", "1234"},
       "pelmo: bad --host value 'x:0': the port must be a number from 1 to 65535"},
      {{"--host", "x:80a/q", "1234"},
       "pelmo: bad --host value 'x:80a/q': the port must be a number from 1 to 65535"},
      {{"--host", "https:///q", "1234"}, "pelmo: bad --host value 'https:///q': no host name"},
      {{"--host=", "1234"}, "pelmo: bad --host value '': no host name"},
      {{"1234", "--host"}, "pelmo: --host needs a value"},
      // Other refusals are said by the usage text alone.
      {{"-x", "--host", "ftp://x"}, ""},
      {{"--host", "x"}, ""},
      {{"--host", "[::1]:8730", "1234"}, ""},
  };
  for (const auto& c : cases) {
    const Parsed parsed = ParseArgs(c.args);
    const std::string line = *c.message != '\0' ? std::string(c.message) + "\n" : "";
    EXPECT_EQ(FailureLine(parsed.outcome.refused), line) << c.args[0] << ' ' << c.args[1];
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
