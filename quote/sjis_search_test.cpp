#include "quote/sjis_search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace pelmo {
namespace {

TEST(SjisFindTest, MatchNeverStartsOnTrailByte) {
  // 0x81 '<' is one double-byte character, so its '<' is not a tag start.
  const std::string text = "\x81<table><table";
  EXPECT_EQ(SjisFind(text, "<table"), 8u);
  EXPECT_EQ(SjisFind(text, "<table", 8), 8u);
  EXPECT_EQ(SjisFind(text, "<table", 9), kNotFound);
  // A search that starts on the trail byte takes it as a character start.
  EXPECT_EQ(SjisFind(text, "<table", 1), 1u);
}

TEST(SjisFindTest, BothLeadByteRangesPairUp) {
  for (const unsigned char lead : {0x81, 0x9F, 0xE0, 0xFC}) {
    const std::string text = std::string(1, static_cast<char>(lead)) + ",,";
    EXPECT_EQ(SjisFind(text, ","), 2u) << int{lead};
  }
  for (const unsigned char single : {0x80, 0xA0, 0xDF, 0xFD}) {
    const std::string text = std::string(1, static_cast<char>(single)) + ",,";
    EXPECT_EQ(SjisFind(text, ","), 1u) << int{single};
  }
}

TEST(SjisFindTest, DoubleBytePatternAndEdges) {
  const std::string year = "\x94\x4E";
  EXPECT_EQ(SjisFind("2007" + year + "1", year), 4u);
  // The same bytes straddling two characters are no match.
  EXPECT_EQ(SjisFind("\x88\x94\x4E", year), kNotFound);
  EXPECT_EQ(SjisFind("abc", ""), kNotFound);
  EXPECT_EQ(SjisFind("ab", "abc"), kNotFound);
  EXPECT_EQ(SjisFind("abc", "c", 4), kNotFound);
  EXPECT_EQ(SjisFind("abc", "c", 2), 2u);
  // A lead byte at the very end takes nothing along and does not overrun.
  EXPECT_EQ(SjisFind("a\x81", "\x81"), 1u);
}

// The search as it reads: every character start from `from` on, compared in full.
std::size_t NaiveFind(const std::string& text, const std::string& pattern, std::size_t from) {
  if (pattern.empty() || from > text.size()) {
    return kNotFound;
  }
  for (std::size_t pos = from; pos + pattern.size() <= text.size();) {
    if (text.compare(pos, pattern.size(), pattern) == 0) {
      return pos;
    }
    const auto byte = static_cast<unsigned char>(text[pos]);
    pos += (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC) ? 2 : 1;
  }
  return kNotFound;
}

// Random text of `count` pieces drawn from `pieces`.
std::string RandomText(std::mt19937& random, const std::vector<std::string>& pieces, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += pieces[random() % pieces.size()];
  }
  return text;
}

TEST(SjisFindTest, AgreesWithFullComparisonOnRandomText) {
  const std::vector<std::string> patterns = {"<table", "<", "\x81<", "<\x81", "\x94\x4E", "ab"};
  // Runs of ASCII long enough to be skipped whole, lead bytes, and pieces of the patterns.
  const std::vector<std::string> pieces = {"<",          "<table",     "a",    "b",    "\x81",
                                           "\x94",       "\x4E",       "\xE0", "\xFC", "\x80",
                                           "plain text", "0123456789", "\xA0", "\x40"};
  std::mt19937 random(19960327);
  for (int round = 0; round < 20000; ++round) {
    const std::string text = RandomText(random, pieces, static_cast<int>(random() % 40));
    const std::string& pattern = patterns[random() % patterns.size()];
    const std::size_t from = text.empty() ? 0 : random() % (text.size() + 2);
    ASSERT_EQ(SjisFind(text, pattern, from), NaiveFind(text, pattern, from))
        << "text " << ::testing::PrintToString(text) << " pattern "
        << ::testing::PrintToString(pattern) << " from " << from;
  }
}

// The removal loop as it reads: search from the start on character starts, delete, repeat.
std::string NaiveRemoveAll(std::string text, const std::string& pattern) {
  for (;;) {
    std::size_t found = std::string::npos;
    for (std::size_t pos = 0; pos + pattern.size() <= text.size();) {
      if (text.compare(pos, pattern.size(), pattern) == 0) {
        found = pos;
        break;
      }
      const auto byte = static_cast<unsigned char>(text[pos]);
      pos += (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC) ? 2 : 1;
    }
    if (found == std::string::npos) {
      return text;
    }
    text.erase(found, pattern.size());
  }
}

TEST(RemoveAllMatchesTest, JoinedMatchesAreRemovedToo) {
  EXPECT_EQ(RemoveAllMatches("<sm<small>all>", "<small>"), "");
  EXPECT_EQ(RemoveAllMatches("x<small>1,234<small>y", "<small>"), "x1,234y");
  EXPECT_EQ(RemoveAllMatches("1,,2,", ","), "12");
  EXPECT_EQ(RemoveAllMatches("abc", ""), "abc");
  EXPECT_EQ(RemoveAllMatches("", ","), "");
}

TEST(RemoveAllMatchesTest, DeletionShiftsCharacterPairing) {
  // Deleting the comma at 2 leaves 0x81 ',' as one character, so the second comma stays.
  EXPECT_EQ(RemoveAllMatches("\x81,,", ","), "\x81,");
  // A tag behind a lead byte is hidden until the lead byte goes with the match before it.
  EXPECT_EQ(RemoveAllMatches("\x81<small>", "<small>"), "\x81<small>");
  EXPECT_EQ(RemoveAllMatches("a\x81<small>", "a\x81"), "<small>");
}

TEST(RemoveAllMatchesTest, AgreesWithRepeatedSearchOnRandomText) {
  const std::vector<std::string> patterns = {"<small>", "</SMALL>", ",",        "<<",
                                             "\x81<",   "a\x81",    "\x81,\x81"};
  // Pieces of the patterns and lead, trail and single bytes, so that matches, joins and
  // shifted pairings are frequent.
  const std::vector<std::string> pieces = {"<",    "s",    "m",       "a",    "l",    ">",
                                           "/",    "S",    "M",       "A",    "L",    ",",
                                           "<sm",  "all>", "<small>", "</",   "\x81", "\x9F",
                                           "\xE0", "\xFC", "\x80",    "\xA0", "\x40", "\x7F"};
  std::mt19937 random(20070105);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 24);
    for (int i = 0; i < count; ++i) {
      text += pieces[random() % pieces.size()];
    }
    const std::string& pattern = patterns[random() % patterns.size()];
    ASSERT_EQ(RemoveAllMatches(text, pattern), NaiveRemoveAll(text, pattern))
        << "text " << ::testing::PrintToString(text) << " pattern "
        << ::testing::PrintToString(pattern);
  }
}

TEST(RemoveAllMatchesTest, AgreesWithRepeatedSearchOnLongText) {
  // Long outputs, so that joined matches begin far behind the last character start found,
  // across runs of lead bytes and of plain ASCII.
  const std::vector<std::string> patterns = {"<small>", "a,", "\x81,", ",\x81"};
  const std::vector<std::string> pieces = {"<sm",
                                           "all>",
                                           "<small>",
                                           "a",
                                           ",",
                                           "\x81",
                                           "\x81\x81\x81\x81\x81\x81\x81",
                                           "\xE0",
                                           "0123456789abcdef",
                                           std::string(70, '\x81'),
                                           std::string(70, 'x')};
  std::mt19937 random(20040126);
  for (int round = 0; round < 3000; ++round) {
    const std::string text = RandomText(random, pieces, static_cast<int>(random() % 120));
    const std::string& pattern = patterns[random() % patterns.size()];
    ASSERT_EQ(RemoveAllMatches(text, pattern), NaiveRemoveAll(text, pattern))
        << "text " << ::testing::PrintToString(text) << " pattern "
        << ::testing::PrintToString(pattern);
  }
}

TEST(RemoveAllMatchesTest, DeepNestingTakesOnePass) {
  // Each removal joins the next tag; the repeated search would rescan the text every time.
  const int depth = 100000;
  std::string text;
  for (int i = 0; i < depth; ++i) {
    text += "<sm";
  }
  text += "<small>";
  for (int i = 0; i < depth; ++i) {
    text += "all>";
  }
  EXPECT_EQ(RemoveAllMatches(text, "<small>"), "");
  EXPECT_EQ(RemoveAllMatches(std::string(2'000'000, ','), ","), "");
  // Each joined match begins right behind a long run of lead bytes, which pair up from its
  // start: an even run leaves the first 'a' a character start, an odd one takes it along.
  const std::string run(1'000'000, '\x81');
  const std::string nested = std::string(depth, 'a') + std::string(depth, ',');
  EXPECT_EQ(RemoveAllMatches(run + nested, "a,"), run);
  EXPECT_EQ(RemoveAllMatches("\x81" + run + nested, "a,"), "\x81" + run + "a,");
}

}  // namespace
}  // namespace pelmo
