// Hostile table pages through the whole page step: the cut, the tag removal, the real tree
// builder and the row reader. Every page must be read in reasonable time and leave a sane
// job: the ordinary rows before the hostile part read exactly, nothing invented after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/sanitizer.h"
#include "html/grammar.h"
#include "html/grammar_rules.h"
#include "html/vocabulary_tables.h"
#include "quote/hostile_pages_test_util.h"
#include "quote/page_tree.h"
#include "quote/quote_page.h"
#include "quote/table_rows.h"

namespace pelmo {
namespace {

// The sanitizers slow these pages down about tenfold; their build reads smaller ones so
// that the test run stays short. The release build reads the full sizes.
constexpr int kScale = kAddressSanitizerBuild ? 8 : 1;

// A temporary file for the note rows that the reader echoes; Text() reads them back.
class MemoryStream {
 public:
  MemoryStream() : file_(std::tmpfile()) {}
  ~MemoryStream() {
    if (file_ != nullptr) {
      std::fclose(file_);
    }
  }
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;

  std::FILE* file() const { return file_; }
  std::string Text() {
    std::string text;
    if (file_ == nullptr) {
      return text;
    }
    std::rewind(file_);
    for (int c; (c = std::fgetc(file_)) != EOF;) {
      text += static_cast<char>(c);
    }
    return text;
  }

 private:
  std::FILE* file_;
};

class HostilePageTest : public ::testing::Test {
 protected:
  // Runs the page step on `page`, noting the depth of the tree it built.
  // The rows the reader found are kept in `found_`, stored or not: a hostile third row has
  // fewer cells than the two known rows, so the page's checks refuse it.
  Result Read(const std::string& page, const char* label) {
    job_.errorStream = notes_.file();
    // The values of these pages are not prices.
    job_.margin = true;
    found_ = {};
    hostile::CannedPageSource source(page);
    const TreeParser measuring = [this](std::string_view text,
                                        const std::function<void(const HtmlNode&)>& visit) {
      ParseQuotePageTree(text, [this, &visit](const HtmlNode& root) {
        depth_ = hostile::MaxElementDepth(root);
        visit(root);
        const DownloadJob quiet;
        std::vector<std::string> cells;
        bool headerPending = true;
        ReadTableRows(quiet, found_, cells, FindTable(root), 0, headerPending);
      });
    };
    const auto start = std::chrono::steady_clock::now();
    const Result outcome = FetchQuotePage(job_, FromCalendar(2007, 1, 1), FromCalendar(2007, 1, 31),
                                          source, measuring);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::printf("[  timing  ] %s (%zu bytes): %lld ms\n", label, page.size(),
                static_cast<long long>(elapsed.count()));
    return outcome;
  }

  // The row of 2007/01/<day> as the reader found it.
  const QuoteRecord* RecordOn(int day) const {
    for (const PageRow& row : found_.rows) {
      if (Equals(row.record.date, FromCalendar(2007, 1, day))) {
        return &row.record;
      }
    }
    return nullptr;
  }

  // Ok, or only the third row, of fewer cells than the known rows, not stored.
  static void ExpectOnlyTheThirdRowRefused(const Result& outcome) {
    if (!outcome.ok()) {
      EXPECT_EQ(outcome.message.rfind("1 rows not stored: row 2007/01/06 has ", 0), 0u)
          << outcome.message;
    }
  }

  // The two ordinary rows of every page, and at most one record besides them.
  void ExpectKnownRows() const {
    EXPECT_EQ(job_.columnCount, 6);
    const QuoteRecord* first = RecordOn(4);
    const QuoteRecord* second = RecordOn(5);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->values, (std::array<double, 6>{1000.5, 2, 3, 4, 5, 6}));
    EXPECT_EQ(second->values, (std::array<double, 6>{7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(job_.records.size(), 2u);
  }

  DownloadJob job_;
  PageRows found_;
  MemoryStream notes_;
  int depth_ = -1;
};

TEST_F(HostilePageTest, UnclosedQuoteTakesTheRestOfTheTable) {
  const std::size_t bytes = (std::size_t{64} << 20) / kScale;
  const Result outcome = Read(hostile::UnclosedQuotePage(bytes), "unclosed quote");
  EXPECT_TRUE(outcome.ok());
  ExpectKnownRows();
  // The rows inside the quote are attribute text, not rows.
  EXPECT_EQ(RecordOn(6), nullptr);
  EXPECT_EQ(job_.records.size(), 2u);
}

// The cut looks for literal texts only: a page that is one unclosed quote and never closes
// its data table has nothing to read.
TEST_F(HostilePageTest, UnclosedQuoteWithoutTableEndIsCutAway) {
  const std::size_t bytes = (std::size_t{64} << 20) / kScale;
  std::string page = "<!--/tab--><table><table><tr><td a=\"";
  page.append(bytes, 'x');
  const Result outcome = Read(page, "unclosed quote, no table end");
  EXPECT_TRUE(outcome.ok());
  EXPECT_EQ(depth_, -1) << "an empty cut text must not be parsed";
  EXPECT_TRUE(job_.records.empty());
  EXPECT_EQ(job_.columnCount, 0);
}

struct Nesting {
  std::string name;
  std::string open;
  std::string close;
};

// Each container element, wrapped in the parent it needs to appear inside another of its
// kind (a list item in a list, a cell in a row in a table).
std::vector<Nesting> ContainerNestings() {
  const auto prefix = [](std::string_view name) -> std::string {
    if (name == "li") {
      return "<ul>";
    }
    if (name == "dd" || name == "dt") {
      return "<dl>";
    }
    if (name == "tr" || name == "caption") {
      return "<table>";
    }
    if (name == "td" || name == "th") {
      return "<table><tr>";
    }
    return "";
  };
  const auto suffix = [](std::string_view name) -> std::string {
    if (name == "ul" || name == "ol" || name == "dir" || name == "menu") {
      return "<li>";
    }
    if (name == "dl") {
      return "<dd>";
    }
    if (name == "table") {
      return "<tr><td>";
    }
    if (name == "tr") {
      return "<td>";
    }
    return "";
  };
  std::vector<Nesting> nestings;
  for (std::size_t code = 0; code < kElements.size(); ++code) {
    if (grammar::kElementRules[code].kind != grammar::RuleKind::Container) {
      continue;
    }
    const std::string name(kElements[code].name);
    const std::string open = prefix(name) + "<" + name + ">" + suffix(name);
    // The end tags in reverse order of the start tags.
    std::string close;
    for (std::size_t at = open.rfind('<'); at != std::string::npos;
         at = at == 0 ? std::string::npos : open.rfind('<', at - 1)) {
      close += "</" + open.substr(at + 1, open.find('>', at) - at);
    }
    nestings.push_back({name, open, close});
  }
  return nestings;
}

class HostileNestingTest : public HostilePageTest, public ::testing::WithParamInterface<Nesting> {};

TEST_P(HostileNestingTest, DepthIsCapped) {
  // Elements that may hold their own kind: their nesting must reach the cap, not stop short.
  const std::vector<std::string> nesting = {"b",  "i",  "font", "div",        "center", "form",
                                            "td", "th", "li",   "blockquote", "table",  "ul",
                                            "dl", "dd", "dt",   "ol",         "tt",     "em"};
  const Nesting& n = GetParam();
  const Result outcome =
      Read(hostile::NestedPage(n.open, n.close, 200000 / kScale), ("nested " + n.name).c_str());
  ExpectOnlyTheThirdRowRefused(outcome);
  ExpectKnownRows();
  EXPECT_LE(depth_, kMaxElementDepth);
  if (std::find(nesting.begin(), nesting.end(), n.name) != nesting.end()) {
    EXPECT_GE(depth_, kMaxElementDepth - 2);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryContainer, HostileNestingTest,
                         ::testing::ValuesIn(ContainerNestings()),
                         [](const ::testing::TestParamInfo<Nesting>& info) {
                           return info.param.name;
                         });

TEST_F(HostilePageTest, MillionSiblingRowsAreEachEchoed) {
  const int count = 1000000 / kScale;
  const Result outcome = Read(hostile::SiblingRowsPage(count), "sibling rows");
  EXPECT_TRUE(outcome.ok());
  ExpectKnownRows();
  EXPECT_EQ(job_.records.size(), 2u);
  // A one-cell note row echoes its first text, read as a date that it is not.
  std::string expected;
  for (int i = 0; i < count; ++i) {
    expected += "0000/00/01\r\n";
  }
  EXPECT_TRUE(notes_.Text() == expected) << "notes differ; " << notes_.Text().size() << " bytes";
}

TEST_F(HostilePageTest, SmallTagsJoinedByRemovalsAllGo) {
  const Result outcome = Read(hostile::JoinedSmallTagsPage(100000 / kScale), "joined small tags");
  ExpectOnlyTheThirdRowRefused(outcome);
  ExpectKnownRows();
  const QuoteRecord* row = RecordOn(6);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->values, (std::array<double, 6>{1234, 56, 7, 0, 0, 0}));
}

TEST_F(HostilePageTest, AttributeListsTheLexerReadsTwice) {
  const Result outcome = Read(hostile::AttributeTagsPage(200000 / kScale), "attribute tags");
  ExpectOnlyTheThirdRowRefused(outcome);
  ExpectKnownRows();
  const QuoteRecord* row = RecordOn(6);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->values[0], 12.0f);
  EXPECT_EQ(row->values[1], 6.0f);
}

TEST_F(HostilePageTest, CellOfTenMegabytesOfCommas) {
  const Result outcome = Read(hostile::CommaCellPage(std::size_t{10000000} / kScale), "comma cell");
  ExpectOnlyTheThirdRowRefused(outcome);
  ExpectKnownRows();
  const QuoteRecord* row = RecordOn(6);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->values[0], 15.0f);
  EXPECT_EQ(row->values[1], 6.0f);
}

TEST_F(HostilePageTest, HugeCharacterReferences) {
  const int count = 1000000 / kScale;
  // Without the page around them there is no table to cut out.
  const Result bare = Read(hostile::References(count), "bare references");
  EXPECT_TRUE(bare.ok());
  EXPECT_TRUE(job_.records.empty());

  const Result outcome = Read(hostile::ReferenceCellPage(count), "reference cell");
  ExpectOnlyTheThirdRowRefused(outcome);
  ExpectKnownRows();
  const QuoteRecord* row = RecordOn(6);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->values[0], 7.0f);
  EXPECT_EQ(row->values[1], 6.0f);

  // In a note the references show as what they decode to: one byte each, the number's
  // low byte, never dropped and never a terminal control.
  job_ = DownloadJob();
  const std::string notePage =
      hostile::WrapAsServicePage("<table>" + hostile::KnownRows() + "<tr><td>x</td><td>" +
                                 hostile::References(count) + "</td></tr></table>");
  EXPECT_TRUE(Read(notePage, "reference note").ok());
  EXPECT_TRUE(notes_.Text() == "0000/00/01," + std::string(count, '\xFF') + "\r\n")
      << notes_.Text().size() << " bytes of notes";
}

TEST_F(HostilePageTest, RowOfTenThousandCellsKeepsSixValues) {
  const Result outcome = Read(hostile::WideRowPage(10000), "wide row");
  ExpectOnlyTheThirdRowRefused(outcome);
  ExpectKnownRows();
  const QuoteRecord* row = RecordOn(6);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->values, (std::array<double, 6>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(found_.rows.size(), 3u);
}

}  // namespace
}  // namespace pelmo
