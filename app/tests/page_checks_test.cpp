// Pages whose layout pelmo does not understand, made from the sample service's own pages:
// what is stored, what is said, and the exit code.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/download/download_driver.h"
#include "app/output/existing_file.h"
#include "app/output/output_target.h"
#include "app/tests/page_server_test_util.h"
#include "app/tests/test_support_for_test.h"
#include "net/euc_jp.h"
#include "quote/page_tree.h"

namespace pelmo {
namespace {

using testing::ServiceDay;
using testing::ServiceRows;

// The sample service's pages, in Shift_JIS as a fetch gives them, changed by `alter`.
class AlteredServicePages : public PageSource {
 public:
  explicit AlteredServicePages(std::function<void(std::string&)> alter)
      : alter_(std::move(alter)) {}

  PageResult Get(const std::string& url) override {
    const std::size_t path = url.find('/', url.find("//") + 2);
    std::string page = ConvertEucJpToShiftJis(testing::ServicePage(url.substr(path)));
    alter_(page);
    return {page, {}};
  }

 private:
  std::function<void(std::string&)> alter_;
};

void Unchanged(std::string&) {}

// Applies `change` to the `n`th data row (from 0) of the page, the text from its start tag
// to its end tag.
std::function<void(std::string&)> OnRow(int n, std::function<void(std::string&)> change) {
  return [n, change](std::string& page) {
    const std::string start = "<tr align=right";
    std::size_t at = page.find(start);
    for (int i = 0; i < n && at != std::string::npos; ++i) {
      at = page.find(start, at + 1);
    }
    if (at == std::string::npos) {
      return;
    }
    const std::size_t end = page.find("</tr>", at);
    std::string row = page.substr(at, end - at);
    change(row);
    page.replace(at, end - at, row);
  };
}

// Replaces every `from` in `text` by `to`.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// The cells of a row's text, "<td><small>...</small></td>" each, in order.
std::vector<std::string> CellsOf(const std::string& row) {
  std::vector<std::string> cells;
  for (std::size_t at = row.find("<td>"); at != std::string::npos; at = row.find("<td>", at + 1)) {
    cells.push_back(row.substr(at, row.find("</td>", at) + 5 - at));
  }
  return cells;
}

// Answers the n-th request (from 0) as `answer` says, the sample service's page when it
// gives nullopt.
class ScriptedPages : public AlteredServicePages {
 public:
  explicit ScriptedPages(std::function<std::optional<PageResult>(int)> answer,
                         std::function<void(std::string&)> alter = Unchanged)
      : AlteredServicePages(std::move(alter)), answer_(std::move(answer)) {}

  PageResult Get(const std::string& url) override {
    if (std::optional<PageResult> scripted = answer_(requests_++)) {
      return *scripted;
    }
    return AlteredServicePages::Get(url);
  }

 private:
  std::function<std::optional<PageResult>(int)> answer_;
  int requests_ = 0;
};

std::optional<PageResult> Status(int status) {
  return PageResult{"", Failure(Reason::StatusNotOk, "", status)};
}

class PageChecksTest : public ::testing::Test {
 protected:
  // pelmo -s 2007/01/04 -e 2007/02/20 7203 (one daily window) into 7203.csv; returns the
  // exit code, the messages in `messages_`.
  int Run(const std::function<void(std::string&)>& alter, bool margin = false) {
    AlteredServicePages pages(alter);
    return Run(pages, 4, margin);
  }

  // The same from 2006/11/15 on (two windows) when `fromDay` is 0.
  int Run(PageSource& pages, int fromDay, bool margin = false) {
    DownloadJob job;
    job.code = "7203.t";
    job.start =
        *ToCalendar(fromDay == 0 ? FromCalendar(2006, 11, 15) : FromCalendar(2007, 1, fromDay));
    job.end = *ToCalendar(FromCalendar(2007, 2, 20));
    job.margin = margin;
    if (margin) {
      job.period = Period::Weekly;
    }
    job.outputPath = path_;
    OutputTarget target;
    EXPECT_TRUE(OutputTarget::Open(path_, target).ok());
    EXPECT_TRUE(ReadExistingFile(job, target).ok());
    CapturedStreamForTest messages;
    const int exitCode = RunDownload(job, pages, ParseQuotePageTree, messages.get(), target);
    messages_ = messages.Text();
    return exitCode;
  }

  std::string Rows(int firstDay, int lastDay) const {
    return ServiceRows("7203.t", ServiceDay(2007, 1, 1) + std::chrono::days(firstDay - 1),
                       ServiceDay(2007, 1, 1) + std::chrono::days(lastDay - 1));
  }

  // The file's lines without the one of `date`.
  static std::string Without(std::string lines, const std::string& date) {
    const std::size_t at = lines.find(date + ",");
    return at == std::string::npos ? lines : lines.erase(at, lines.find('\n', at) + 1 - at);
  }

  ScratchFolderForTest folder_;
  const std::string path_ = folder_.Path("7203.csv");
  std::string messages_;
};

const std::string kWindow = "2007/01/04-2007/02/20";

TEST_F(PageChecksTest, UnalteredPagesAreStoredWhole) {
  EXPECT_EQ(Run(Unchanged), 0);
  EXPECT_EQ(messages_, "");
  EXPECT_EQ(ReadFileForTest(path_), Rows(4, 51));
}

// An odd row refuses only itself; the others are stored.
TEST_F(PageChecksTest, OddRowIsNotStored) {
  const std::string all = Rows(4, 51);
  const struct {
    std::function<void(std::string&)> alter;
    std::string reason;
  } cases[] = {
      // The newest row is 2007/02/20: a cell more, a cell less (an empty cell holds no text,
      // and would move the values after it one column left), high and low swapped, a close
      // above the high, a negative volume.
      {OnRow(0, [](std::string& row) { row.replace(row.find("</td>") + 5, 0, "<td>1</td>"); }),
       "1 rows not stored: row 2007/02/20 has 8 cells, the others 7"},
      {OnRow(0,
             [](std::string& row) {
               const std::string high = CellsOf(row)[2];
               row.replace(row.find(high), high.size(), "<td></td>");
             }),
       "1 rows not stored: row 2007/02/20 has 6 cells, the others 7"},
      {OnRow(1,
             [](std::string& row) {
               const auto cells = CellsOf(row);
               std::string swapped = cells[0] + cells[1] + cells[3] + cells[2];
               row.replace(row.find(cells[0]), swapped.size(), swapped);
             }),
       "1 rows not stored: row 2007/02/19: low "},
      {OnRow(1,
             [](std::string& row) {
               const std::string close = CellsOf(row)[4];
               row.replace(row.find(close), close.size(), "<td><b>99,999</b></td>");
             }),
       "1 rows not stored: row 2007/02/19: close 99999 above high "},
      {OnRow(2,
             [](std::string& row) {
               const std::string volume = CellsOf(row)[5];
               row.replace(row.find(volume), volume.size(), "<td>-100</td>");
             }),
       "1 rows not stored: row 2007/02/16: volume -100 is negative"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(path_);
    EXPECT_EQ(Run(c.alter), 65) << c.reason;
    EXPECT_EQ(messages_.rfind("pelmo: cannot read " + kWindow + ": " + c.reason, 0), 0u)
        << messages_;
    EXPECT_EQ(messages_.find('\n'), messages_.size() - 1) << messages_;
    const std::string date = c.reason.substr(23, 10);
    EXPECT_EQ(ReadFileForTest(path_), Without(all, date)) << c.reason;
  }
}

// A day shown with dashes reads as zeros, which no price check refuses.
TEST_F(PageChecksTest, DayOfDashesPasses) {
  EXPECT_EQ(Run(OnRow(0,
                      [](std::string& row) {
                        const auto cells = CellsOf(row);
                        for (std::size_t i = 1; i < cells.size(); ++i) {
                          row.replace(row.find(cells[i]), cells[i].size(), "<td>-</td>");
                        }
                      })),
            0);
  EXPECT_EQ(messages_, "");
  EXPECT_EQ(ReadFileForTest(path_),
            Without(Rows(4, 51), "2007/02/20") + "2007/02/20,0,0,0,0,0,0\r\n");
}

// A changed layout refuses every row of the page; the existing file stays as it was.
TEST_F(PageChecksTest, LayoutChangeStoresNothing) {
  const auto insertColumn = [](std::string& page) {
    ReplaceAll(page, "<td><small><b>", "<td><small>9,999</small></td><td><small><b>");
  };
  EXPECT_EQ(Run(insertColumn), 65);
  // No row was stored and no file stood there: none is made.
  EXPECT_EQ(messages_, "pelmo: cannot read " + kWindow +
                           ": 34 rows not stored: row 2007/02/20: close 9999 above high 706\n");
  EXPECT_FALSE(std::filesystem::exists(path_));

  ASSERT_EQ(Run(Unchanged), 0);
  const std::string stored = ReadFileForTest(path_);
  EXPECT_EQ(Run(insertColumn), 65);
  EXPECT_EQ(messages_, "pelmo: cannot read " + kWindow +
                           ": 34 rows not stored: rows have 7 values, " + path_ + " has 6\n");
  EXPECT_EQ(ReadFileForTest(path_), stored);

  // Rows of another time: a 2007 page carrying 1997 rows.
  EXPECT_EQ(Run([](std::string& page) { ReplaceAll(page, "2007\x94\x4E", "1997\x94\x4E"); }), 65);
  EXPECT_EQ(messages_, "pelmo: cannot read " + kWindow +
                           ": 34 rows not stored: row 1997/02/20 is outside the window\n");
  EXPECT_EQ(ReadFileForTest(path_), stored);
}

// pelmo -z into the file of pelmo 7203: margin rows have five values, prices six.
TEST_F(PageChecksTest, MarginRowsAreNotStoredInAPriceFile) {
  ASSERT_EQ(Run(Unchanged), 0);
  const std::string stored = ReadFileForTest(path_);
  struct stat before {};
  ASSERT_EQ(::stat(path_.c_str(), &before), 0);
  EXPECT_EQ(Run(Unchanged, true), 65);
  EXPECT_EQ(messages_.rfind("pelmo: cannot read 2007/01/01-2007/02/25: ", 0), 0u) << messages_;
  EXPECT_NE(messages_.find(" rows not stored: rows have 5 values, " + path_ + " has 6\n"),
            std::string::npos)
      << messages_;
  // Nothing else to write: the file is left as it was, its backup not made.
  EXPECT_EQ(ReadFileForTest(path_), stored);
  struct stat after {};
  ASSERT_EQ(::stat(path_.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_FALSE(std::filesystem::exists(folder_.Path("7203.bak")));
}

// Rows pelmo did not understand weigh more than a window it could not fetch.
TEST_F(PageChecksTest, RefusedRowsGoBeforeAWindowNotFetched) {
  // The newest window's newest row is dated ten years back; the older window fails.
  ScriptedPages pages([](int request) { return request == 1 ? Status(503) : std::nullopt; },
                      OnRow(0, [](std::string& row) {
                        const std::size_t year = row.find("2007\x94\x4E");
                        row.replace(year, 4, "1997");
                      }));
  EXPECT_EQ(Run(pages, 0), 65);
  EXPECT_EQ(messages_,
            "pelmo: cannot read 2007/01/01-2007/02/20: 1 rows not stored: row 1997/02/20 is "
            "outside the window\n"
            "pelmo: cannot fetch 2006/11/15-2006/12/31: HTTP status 503\n");
  EXPECT_EQ(ReadFileForTest(path_), Rows(1, 50));
}

// A run that got nothing makes no file where there was none; where there was one, it keeps
// it as it was, and its backup too.
TEST_F(PageChecksTest, RunThatGotNothingLeavesTheFolderAsItWas) {
  ScriptedPages refused([](int) { return Status(400); });
  EXPECT_EQ(Run(refused, 0), 69);
  EXPECT_FALSE(std::filesystem::exists(path_));

  ASSERT_EQ(Run(Unchanged), 0);
  WriteFileForTest(folder_.Path("7203.bak"), "older backup\r\n");
  const std::string stored = ReadFileForTest(path_);
  EXPECT_EQ(Run(refused, 0), 69);
  EXPECT_EQ(ReadFileForTest(path_), stored);
  EXPECT_EQ(ReadFileForTest(folder_.Path("7203.bak")), "older backup\r\n");
}

// The same file again is not written: same inode, same time, and the backup stays.
TEST_F(PageChecksTest, IdenticalRunLeavesFileAndBackupUntouched) {
  WriteFileForTest(path_, "2007/01/04,1,2,1,2,3,4\r\n");
  ASSERT_EQ(Run(Unchanged), 0);
  const std::string backup = ReadFileForTest(folder_.Path("7203.bak"));
  EXPECT_EQ(backup, "2007/01/04,1,2,1,2,3,4\r\n");
  // Set the file's time back, so that a write, however fast, would show.
  const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path_.c_str(), old, 0), 0);
  struct stat before {};
  ASSERT_EQ(::stat(path_.c_str(), &before), 0);
  EXPECT_EQ(Run(Unchanged), 0);
  struct stat after {};
  ASSERT_EQ(::stat(path_.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(ReadFileForTest(folder_.Path("7203.bak")), backup);
  EXPECT_EQ(ReadFileForTest(path_), Rows(4, 51));
}

}  // namespace
}  // namespace pelmo
