// The run for a person's screen, drawn on a recording sink: the same code serves the POSIX
// terminal and the Windows console, so these run in both builds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/console/terminal_run.h"
#include "app/output/existing_file.h"
#include "app/tests/output_target_for_test.h"
#include "app/tests/terminal_sink_for_test.h"
#include "app/tests/test_support_for_test.h"
#include "quote/hostile_pages_test_util.h"
#include "quote/page_tree.h"

namespace pelmo {
namespace {

const std::string kFolder = "\xE6\xA0\xAA\xE4\xBE\xA1";  // 株価, in UTF-8 as paths are held
const std::string kSplit = "\x95\xAA\x8A\x84";           // 分割, in Shift_JIS

// Marks the lines it converts, so that the test sees which lines went through it.
class MarkingConverter : public NoteConverter {
 public:
  std::optional<std::string> FromShiftJis(std::string_view text) const override {
    std::string marked = "[";
    marked.append(text);
    marked += ']';
    return marked;
  }
};

std::string PriceRow(int day) {
  return "<tr><td>" + hostile::DateText(day) +
         "</td><td>2</td><td>4</td><td>1</td><td>3</td><td>5</td><td>6</td></tr>";
}

// One page of two price rows and a note row.
class OnePage : public PageSource {
 public:
  PageResult Get(const std::string&) override {
    return {hostile::WrapAsServicePage("<table><tr><th>date</th></tr>" + PriceRow(4) + PriceRow(5) +
                                       "<tr><td>" + hostile::DateText(26) + "</td><td>" + kSplit +
                                       "</td></tr></table>"),
            {}};
  }
};

std::filesystem::path Utf8Path(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// The earlier file stands in a folder with a Japanese name: its size must be found through
// the path as the program holds it, or the summary could not name the backup.
TEST(TerminalRunShared, NoteAndSummaryNameTheBackupInAJapaneseFolder) {
  const ScratchFolderForTest folder;
  const std::u8string base = folder.path().u8string();
  const std::string japanese = std::string(base.begin(), base.end()) + "/" + kFolder;
  const std::string path = japanese + "/1234.csv";
  ASSERT_TRUE(std::filesystem::create_directory(Utf8Path(japanese)));
  std::ofstream(Utf8Path(path), std::ios::binary) << "2006/12/29,9,9,9,9,9,9\r\n";
  DownloadJob job;
  job.code = "1234.t";
  job.start = *ToCalendar(FromCalendar(2007, 1, 1));
  job.end = *ToCalendar(FromCalendar(2007, 1, 31));
  job.outputPath = path;
  job.errorStream = stderr;
  OutputTarget output;
  ASSERT_TRUE(OpenOutputForTest(job, output).ok());
  OnePage pages;
  RecordingSinkForTest sink;
  {
    TerminalDisplay display(sink);
    EXPECT_EQ(
        RunDownloadOnTerminal(job, pages, ParseQuotePageTree, display, MarkingConverter(), output),
        0);
  }
  const std::string backup = japanese + "/1234.bak";
  std::string expected = "[2007/01/26,";
  expected += kSplit;
  expected += "]\npelmo: 1234.t: 2 rows downloaded; ";
  expected += path;
  expected += " holds 3 rows, 2006/12/29 to 2007/01/05; the earlier file is kept as ";
  expected += backup;
  expected += "\n";
  EXPECT_EQ(sink.Take(), expected);
  EXPECT_TRUE(std::filesystem::exists(Utf8Path(backup)));
}

}  // namespace
}  // namespace pelmo
