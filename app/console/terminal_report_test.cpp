#include "app/console/terminal_report.h"

#include <gtest/gtest.h>

namespace pelmo {
namespace {

RunSummary Written() {
  RunSummary summary;
  summary.code = "7203.t";
  summary.rowsDownloaded = 120;
  summary.windowCount = 4;
  summary.written = true;
  summary.rowsInFile = 6012;
  summary.firstDate = FromCalendar(2000, 1, 4);
  summary.lastDate = FromCalendar(2004, 3, 31);
  summary.outputPath = "7203.csv";
  summary.hadEarlierFile = true;
  summary.backupPath = "7203.bak";
  return summary;
}

TEST(TerminalReport, SummarySaysWhatWasWrittenAndKept) {
  const std::string head = "pelmo: 7203.t: 120 rows downloaded; ";
  EXPECT_EQ(SummaryLine(Written()),
            head +
                "7203.csv holds 6012 rows, 2000/01/04 to 2004/03/31; the earlier file is "
                "kept as 7203.bak");

  RunSummary first = Written();
  first.hadEarlierFile = false;
  first.backupPath.clear();
  EXPECT_EQ(SummaryLine(first), head +
                                    "7203.csv holds 6012 rows, 2000/01/04 to 2004/03/31; no "
                                    "backup: there was no earlier file");

  RunSummary unkept = Written();
  unkept.backupPath.clear();
  EXPECT_EQ(SummaryLine(unkept),
            head + "7203.csv holds 6012 rows, 2000/01/04 to 2004/03/31; no backup was kept");
}

TEST(TerminalReport, SummaryOfFailuresAndEmptyFiles) {
  RunSummary failed = Written();
  failed.written = false;
  failed.windowsFailed = 1;
  EXPECT_EQ(SummaryLine(failed),
            "pelmo: 7203.t: 120 rows downloaded (1 of 4 windows could not be fetched); 7203.csv "
            "was not written; the earlier file is left as it was");
  failed.hadEarlierFile = false;
  EXPECT_EQ(SummaryLine(failed),
            "pelmo: 7203.t: 120 rows downloaded (1 of 4 windows could not be fetched); 7203.csv "
            "was not written");

  RunSummary empty = Written();
  empty.rowsDownloaded = 1;
  empty.rowsInFile = 0;
  empty.firstDate.reset();
  empty.lastDate.reset();
  EXPECT_EQ(SummaryLine(empty),
            "pelmo: 7203.t: 1 row downloaded; 7203.csv holds 0 rows; the earlier file is kept "
            "as 7203.bak");
}

TEST(TerminalReport, StatusNamesTheWindowAndItsPlace) {
  const DateWindow window{FromCalendar(2003, 11, 12), FromCalendar(2004, 1, 1)};
  EXPECT_EQ(StatusText("7203.t", window, 2, 184, 1), "7203.t 2003/11/12-2004/01/01 2/184 1 row");
}

}  // namespace
}  // namespace pelmo
