// The real pelmo binary against the sample quote service on a free port of 127.0.0.1: the
// requests it makes, the files it writes, its messages and exit codes. Expected rows come
// from the service's own history, so a row lost or misread anywhere on the way shows.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/output/output_file.h"
#include "app/tests/test_process.h"
#include "dates/serial_date.h"
#include "net/euc_jp.h"
#include "tools/quote_server/code_profile.h"
#include "tools/quote_server/euc_jp.h"
#include "tools/quote_server/synthetic_history.h"

namespace pelmo {
namespace {

namespace fs = std::filesystem;
namespace qs = quote_server;
using pelmo::testing::PelmoBinary;
using pelmo::testing::ProcessResult;
using pelmo::testing::QuoteServerProcess;
using pelmo::testing::ReadFileBytes;
using pelmo::testing::RunProcess;
using pelmo::testing::WriteFileBytes;

qs::Day MakeDay(int y, int m, int d) {
  return qs::Day{std::chrono::year{y} / std::chrono::month(static_cast<unsigned>(m)) /
                 std::chrono::day(static_cast<unsigned>(d))};
}

SerialDate ToSerial(qs::Day day) {
  const std::chrono::year_month_day ymd{day};
  return FromCalendar(static_cast<int>(ymd.year()), static_cast<int>(unsigned(ymd.month())),
                      static_cast<int>(unsigned(ymd.day())));
}

qs::SyntheticHistory HistoryOf(const std::string& code) {
  return qs::SyntheticHistory(qs::ProfileOf(code), qs::TodayUtc());
}

// The file pelmo should write for the service's price rows of [first, last].
std::string ExpectedPriceFile(const std::string& code, qs::Period period, qs::Day first,
                              qs::Day last, char separator) {
  std::vector<qs::PriceRow> rows = HistoryOf(code).PriceRows(period, first, last, 1u << 20);
  std::reverse(rows.begin(), rows.end());
  std::string file;
  for (const qs::PriceRow& row : rows) {
    // Monthly rows show only the month ("2007年1月"), which reads as its first day.
    const qs::Day date = period == qs::Period::Monthly ? qs::FirstOfMonth(row.date) : row.date;
    QuoteRecord record{ToSerial(date),
                       {static_cast<double>(row.open), static_cast<double>(row.high),
                        static_cast<double>(row.low), static_cast<double>(row.close),
                        static_cast<double>(row.volume), static_cast<double>(row.adjustedClose)}};
    file += FormatRecordLine(record, 6, separator);
  }
  return file;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) {
      end = text.size();
    }
    lines.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return lines;
}

std::string PriceQuery(const std::string& code, int c, int a, int b, int f, int d, int e, char g) {
  return "/t?c=" + std::to_string(c) + "&a=" + std::to_string(a) + "&b=" + std::to_string(b) +
         "&f=" + std::to_string(f) + "&d=" + std::to_string(d) + "&e=" + std::to_string(e) +
         "&g=" + std::string(1, g) + "&s=" + code + "&y=0&z=" + code;
}

// A port on 127.0.0.1 on which nothing listens.
int ClosedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("pelmo-e2e-" + std::string(info->name()) + "-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  ProcessResult Pelmo(const std::string& host, std::vector<std::string> args) {
    args.insert(args.begin(), {PelmoBinary().string(), "--host", host});
    return RunProcess(args, dir_);
  }
  std::string Log() const { return ReadFileBytes(dir_ / "requests.log"); }
  std::string LogArgument() const { return (dir_ / "requests.log").string(); }

  fs::path dir_;
};

// 151 whole days: two full 51-day windows and a last one of 50 days, newest first. The range
// crosses a split of 7203, whose note is echoed on standard error in Shift_JIS.
TEST_F(EndToEnd, DailyWindowsNewestFirstWriteEveryTradingDay) {
  QuoteServerProcess server({"--log", LogArgument()});
  const ProcessResult run =
      Pelmo(server.hostArgument(), {"-s", "2003/11/01", "-e", "2004/03/31", "7203"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(Lines(Log()), (std::vector<std::string>{
                              PriceQuery("7203.t", 2004, 2, 10, 2004, 3, 31, 'd'),
                              PriceQuery("7203.t", 2003, 12, 21, 2004, 2, 9, 'd'),
                              PriceQuery("7203.t", 2003, 11, 1, 2003, 12, 20, 'd'),
                          }));
  const std::string expected = ExpectedPriceFile("7203.t", qs::Period::Daily, MakeDay(2003, 11, 1),
                                                 MakeDay(2004, 3, 31), ',');
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(ReadFileBytes(dir_ / "7203.csv"), expected);

  const auto note = qs::ToEucJp("2004/01/26," + qs::SplitNote({MakeDay(2004, 1, 26), 1, 1.5}));
  ASSERT_TRUE(note.has_value());
  EXPECT_EQ(run.err, ConvertEucJpToShiftJis(*note) + "\r\n");
}

TEST_F(EndToEnd, WeeklyRangeWidensToWholeWeeks) {
  QuoteServerProcess server({"--log", LogArgument()});
  // Wednesday 2005/01/05 to Thursday 2007/03/15: Monday 2005/01/03 to Sunday 2007/03/18.
  const ProcessResult run =
      Pelmo(server.hostArgument(), {"-p", "w", "-s", "2005/01/05", "-e", "2007/03/15", "7203"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Lines(Log()), (std::vector<std::string>{
                              PriceQuery("7203.t", 2006, 4, 3, 2007, 3, 18, 'w'),
                              PriceQuery("7203.t", 2005, 4, 18, 2006, 4, 2, 'w'),
                              PriceQuery("7203.t", 2005, 1, 3, 2005, 4, 17, 'w'),
                          }));
  EXPECT_EQ(ReadFileBytes(dir_ / "7203.csv"),
            ExpectedPriceFile("7203.t", qs::Period::Weekly, MakeDay(2005, 1, 3),
                              MakeDay(2007, 3, 18), ','));
}

TEST_F(EndToEnd, MonthlyWindowsOfFiftyMonthsInTabFileNamedByOption) {
  QuoteServerProcess server({"--log", LogArgument()});
  const ProcessResult run =
      Pelmo(server.hostArgument(),
            {"-t", "-p", "m", "-o", "monthly.tsv", "-s", "1999/05/20", "-e", "2007/03/10", "6501"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Lines(Log()), (std::vector<std::string>{
                              PriceQuery("6501.t", 2003, 2, 1, 2007, 3, 31, 'm'),
                              PriceQuery("6501.t", 1999, 5, 1, 2003, 1, 31, 'm'),
                          }));
  EXPECT_FALSE(fs::exists(dir_ / "6501.csv"));
  EXPECT_EQ(ReadFileBytes(dir_ / "monthly.tsv"),
            ExpectedPriceFile("6501.t", qs::Period::Monthly, MakeDay(1999, 5, 1),
                              MakeDay(2007, 3, 31), '\t'));
}

TEST_F(EndToEnd, CrLfBodiesGiveTheSameFile) {
  QuoteServerProcess plain;
  QuoteServerProcess crlf({"--crlf"});
  ASSERT_EQ(
      Pelmo(plain.hostArgument(), {"-s", "2006/01/01", "-e", "2006/06/30", "-o", "a.csv", "8306"})
          .exitCode,
      0);
  ASSERT_EQ(
      Pelmo(crlf.hostArgument(), {"-s", "2006/01/01", "-e", "2006/06/30", "-o", "b.csv", "8306"})
          .exitCode,
      0);
  const std::string a = ReadFileBytes(dir_ / "a.csv");
  EXPECT_FALSE(a.empty());
  EXPECT_EQ(a, ReadFileBytes(dir_ / "b.csv"));
}

// Rows before the split carry prices divided by the split ratio (floored to a hundredth) and
// the volume multiplied by it; the sixth value holds the unadjusted close; rows from the
// split day on are as served.
TEST_F(EndToEnd, AdjustRescalesRowsBeforeTheSplit) {
  QuoteServerProcess server;
  ASSERT_EQ(Pelmo(server.hostArgument(),
                  {"-s", "2004/01/01", "-e", "2004/02/20", "-o", "plain.csv", "7203"})
                .exitCode,
            0);
  const ProcessResult run = Pelmo(server.hostArgument(), {"-a", "-s", "2004/01/01", "-e",
                                                          "2004/02/20", "-o", "adj.csv", "7203"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<std::string> plain = Lines(ReadFileBytes(dir_ / "plain.csv"));
  const std::vector<std::string> adjusted = Lines(ReadFileBytes(dir_ / "adj.csv"));
  ASSERT_EQ(plain.size(), adjusted.size());
  ASSERT_GT(plain.size(), 20u);
  int before = 0;
  for (std::size_t i = 0; i < plain.size(); ++i) {
    float p[6], a[6];
    char date[16];
    ASSERT_EQ(std::sscanf(plain[i].c_str(), "%10[^,],%f,%f,%f,%f,%f,%f", date, &p[0], &p[1], &p[2],
                          &p[3], &p[4], &p[5]),
              7);
    ASSERT_EQ(std::sscanf(adjusted[i].c_str(), "%*10[^,],%f,%f,%f,%f,%f,%f", &a[0], &a[1], &a[2],
                          &a[3], &a[4], &a[5]),
              6);
    EXPECT_FLOAT_EQ(a[5], p[3]) << plain[i];
    if (std::string(date) < "2004/01/26") {
      ++before;
      for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(a[k], p[k] / 1.5, 0.0101) << plain[i] << " / " << adjusted[i];
        EXPECT_LE(a[k], p[k] / 1.5 + 1e-3) << "floored, never rounded up: " << adjusted[i];
      }
      EXPECT_NEAR(a[4], p[4] * 1.5, 1.0) << adjusted[i];
    } else {
      for (int k = 0; k < 5; ++k) {
        EXPECT_FLOAT_EQ(a[k], p[k]) << adjusted[i];
      }
    }
  }
  EXPECT_GT(before, 5);
}

TEST_F(EndToEnd, MarginTablesAreWeeklyWithFiveColumns) {
  QuoteServerProcess server({"--log", LogArgument()});
  const ProcessResult run = Pelmo(server.hostArgument(), {"-z", "-a", "-p", "m", "-s", "2006/01/04",
                                                          "-e", "2006/06/28", "7203"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  // Monday 2006/01/02 to Sunday 2006/07/02, one window, on the margin path.
  EXPECT_EQ(Log(), "/bt?s=7203.t&a=1&b=2&c=2006&d=7&e=2&f=2006\n");
  std::vector<qs::MarginRow> rows =
      HistoryOf("7203.t").MarginRows(MakeDay(2006, 1, 2), MakeDay(2006, 7, 2), 1000);
  std::reverse(rows.begin(), rows.end());
  std::string expected;
  for (const qs::MarginRow& row : rows) {
    QuoteRecord record{ToSerial(row.date),
                       {static_cast<double>(row.sellBalance), static_cast<double>(row.sellChange),
                        static_cast<double>(row.buyBalance), static_cast<double>(row.buyChange),
                        static_cast<double>(row.ratioHundredths / 100.0), 0.0}};
    expected += FormatRecordLine(record, 5, ',');
  }
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(ReadFileBytes(dir_ / "7203.csv"), expected);
}

// A second run merges its rows into the first run's file, keeps the rows it did not cover,
// and leaves the first run's file as the backup.
TEST_F(EndToEnd, SecondRunMergesAndKeepsTheFirstAsBackup) {
  QuoteServerProcess server;
  ASSERT_EQ(Pelmo(server.hostArgument(), {"-s", "2006/01/01", "-e", "2006/03/31", "8306"}).exitCode,
            0);
  const std::string first = ReadFileBytes(dir_ / "8306.csv");
  ASSERT_EQ(Pelmo(server.hostArgument(), {"-s", "2006/03/01", "-e", "2006/05/31", "8306"}).exitCode,
            0);
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.bak"), first);
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.csv"),
            ExpectedPriceFile("8306.t", qs::Period::Daily, MakeDay(2006, 1, 1),
                              MakeDay(2006, 5, 31), ','));
}

TEST_F(EndToEnd, TabFileIsReadByRunWithoutTabOption) {
  QuoteServerProcess server;
  const std::string old = ExpectedPriceFile("8306.t", qs::Period::Daily, MakeDay(2005, 1, 1),
                                            MakeDay(2005, 2, 28), '\t');
  ASSERT_FALSE(old.empty());
  WriteFileBytes(dir_ / "8306.csv", old);
  ASSERT_EQ(Pelmo(server.hostArgument(), {"-s", "2005/03/01", "-e", "2005/04/15", "8306"}).exitCode,
            0);
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.csv"),
            ExpectedPriceFile("8306.t", qs::Period::Daily, MakeDay(2005, 1, 1),
                              MakeDay(2005, 4, 15), ','));
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.bak"), old);
}

TEST_F(EndToEnd, ServiceDownReportsEveryWindowAndKeepsTheFile) {
  const pelmo::testing::QuickPausesForTests quickPauses;
  const std::string old = "2001/01/04,1,2,3,4,5,6\r\n";
  WriteFileBytes(dir_ / "8306.csv", old);
  const ProcessResult run = Pelmo("127.0.0.1:" + std::to_string(ClosedPort()),
                                  {"-s", "2007/01/01", "-e", "2007/03/31", "8306"});
  EXPECT_EQ(run.exitCode, 69);
  EXPECT_EQ(run.out, "");
  const std::vector<std::string> lines = Lines(run.err);
  ASSERT_EQ(lines.size(), 2u) << run.err;
  EXPECT_EQ(lines[0].rfind("pelmo: cannot fetch 2007/02/09-2007/03/31: ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("pelmo: cannot fetch 2007/01/01-2007/02/08: ", 0), 0u) << lines[1];
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.csv"), old);
}

TEST_F(EndToEnd, ElevenDroppedConnectionsAreRetried) {
  const pelmo::testing::QuickPausesForTests quickPauses;
  QuoteServerProcess server({"--fail-first", "11", "--log", LogArgument()});
  const ProcessResult run =
      Pelmo(server.hostArgument(), {"-s", "2007/01/01", "-e", "2007/03/31", "8306"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Lines(Log()).size(), 13u);
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.csv"),
            ExpectedPriceFile("8306.t", qs::Period::Daily, MakeDay(2007, 1, 1),
                              MakeDay(2007, 3, 31), ','));
}

TEST_F(EndToEnd, TwelveDroppedConnectionsLoseTheFirstWindowOnly) {
  const pelmo::testing::QuickPausesForTests quickPauses;
  QuoteServerProcess server({"--fail-first", "12"});
  const ProcessResult run =
      Pelmo(server.hostArgument(), {"-s", "2007/01/01", "-e", "2007/03/31", "8306"});
  EXPECT_EQ(run.exitCode, 69);
  ASSERT_EQ(Lines(run.err).size(), 1u) << run.err;
  EXPECT_EQ(run.err.rfind("pelmo: cannot fetch 2007/02/09-2007/03/31: ", 0), 0u) << run.err;
  EXPECT_EQ(ReadFileBytes(dir_ / "8306.csv"),
            ExpectedPriceFile("8306.t", qs::Period::Daily, MakeDay(2007, 1, 1), MakeDay(2007, 2, 8),
                              ','));
}

TEST_F(EndToEnd, CodeWithoutDataWritesAnEmptyFile) {
  QuoteServerProcess server;
  const ProcessResult run =
      Pelmo(server.hostArgument(), {"-s", "2007/01/01", "-e", "2007/03/31", "0123"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(fs::exists(dir_ / "0123.csv"));
  EXPECT_EQ(ReadFileBytes(dir_ / "0123.csv"), "");
}

}  // namespace
}  // namespace pelmo
