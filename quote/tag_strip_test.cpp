#include "quote/tag_strip.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "quote/sjis_search.h"

namespace pelmo {
namespace {

const std::vector<std::string> kSmallTags = {"<small>", "<SMALL>", "</small>", "</SMALL>"};

std::string RemoveInTurn(std::string text, const std::vector<std::string>& tags) {
  for (const std::string& tag : tags) {
    text = RemoveAllMatches(text, tag);
  }
  return text;
}

TEST(RemoveTagsInOnePassTest, CutsEveryTagOfAPageRow) {
  const std::string row =
      "<tr align=right><td><small>2000\x94\x4E"
      "3\x8C\x8E"
      "31\x93\xFA</small></td>"
      "<td><SMALL>1,642</SMALL></td><td><small><b>1,643</b></small></td>"
      "<td><Small>5</Small><small class=a>6</small></td></tr>\r\n";
  const std::optional<std::string> stripped = RemoveTagsInOnePass(row, kSmallTags);
  ASSERT_TRUE(stripped.has_value());
  EXPECT_EQ(*stripped,
            "<tr align=right><td>2000\x94\x4E"
            "3\x8C\x8E"
            "31\x93\xFA</td><td>1,642</td>"
            "<td><b>1,643</b></td><td><Small>5</Small><small class=a>6</td></tr>\r\n");
  EXPECT_EQ(*stripped, RemoveInTurn(row, kSmallTags));
}

TEST(RemoveTagsInOnePassTest, TagsBehindLeadBytesFollowCharacterPairing) {
  // 0x81 '<' is one character; two lead bytes pair with each other and leave the tag free.
  EXPECT_EQ(RemoveTagsInOnePass("\x81<small>x", kSmallTags), "\x81<small>x");
  EXPECT_EQ(RemoveTagsInOnePass("\x81\x81<small>x", kSmallTags), "\x81\x81x");
  EXPECT_EQ(RemoveTagsInOnePass("a\x82\xA0\x81</small>", kSmallTags), "a\x82\xA0\x81</small>");
  EXPECT_EQ(RemoveTagsInOnePass("<small>", kSmallTags), "");
  EXPECT_EQ(RemoveTagsInOnePass("", kSmallTags), "");
}

TEST(RemoveTagsInOnePassTest, DeclinesWhenACutCouldJoinATag) {
  // Removing in turn gives "" for the first, "<small>" for the second (the lower-case pass
  // is over when the upper-case cut joins one) and "" for the third.
  EXPECT_FALSE(RemoveTagsInOnePass("<sm<small>all>", kSmallTags).has_value());
  EXPECT_FALSE(RemoveTagsInOnePass("<sm<SMALL>all>", kSmallTags).has_value());
  EXPECT_FALSE(RemoveTagsInOnePass("</<small>small>", kSmallTags).has_value());
  EXPECT_FALSE(RemoveTagsInOnePass("x<<small>", kSmallTags).has_value());
  // A '<' further back than a tag could reach, or closed by '>', leaves nothing open.
  EXPECT_EQ(RemoveTagsInOnePass("<smalle<small>", kSmallTags), "<smalle");
  EXPECT_EQ(RemoveTagsInOnePass("<b><small>x", kSmallTags), "<b>x");
}

TEST(RemoveTagsInOnePassTest, DeclinesTagsThatAreNotPlain) {
  const auto declines = [](std::vector<std::string> tags) {
    return !RemoveTagsInOnePass("<a>x<b>y", tags).has_value();
  };
  EXPECT_TRUE(declines({}));
  EXPECT_TRUE(declines({""}));
  EXPECT_TRUE(declines({"<a"}));
  EXPECT_TRUE(declines({"<<b>"}));
  EXPECT_TRUE(declines({"<b>>"}));
  EXPECT_TRUE(declines({"<\x81>"}));
  EXPECT_TRUE(declines({"<a>", ","}));
  EXPECT_FALSE(declines({"<a>", "<b>"}));
}

TEST(RemoveTagsInOnePassTest, AgreesWithRemovalInTurnOnRandomText) {
  const std::vector<std::vector<std::string>> tagSets = {
      kSmallTags, {"<b>", "<B>", "</b>", "</B>"}, {"<1>", "<1>", "</1>", "</1>"}};
  // Pieces of the tags, lead and trail bytes and plain text, so that matches, joins and
  // matches hidden behind lead bytes are frequent; and long runs for the word-wise scan.
  const std::vector<std::string> pieces = {"<",
                                           ">",
                                           "/",
                                           "s",
                                           "m",
                                           "all>",
                                           "<sm",
                                           "<small>",
                                           "<SMALL>",
                                           "</small",
                                           "</SMALL>",
                                           "<b>",
                                           "</B>",
                                           "<1>",
                                           "</",
                                           "b",
                                           "1",
                                           "x",
                                           "\x81",
                                           "\x9F",
                                           "\xE0",
                                           "\xA0",
                                           "\x40",
                                           "0123456789abcdef",
                                           std::string(9, '\x81')};
  std::mt19937 random(20261207);
  int taken = 0;
  const int rounds = 20000;
  for (int round = 0; round < rounds; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 30);
    for (int i = 0; i < count; ++i) {
      text += pieces[random() % pieces.size()];
    }
    const std::vector<std::string>& tags = tagSets[random() % tagSets.size()];
    const std::optional<std::string> stripped = RemoveTagsInOnePass(text, tags);
    if (stripped.has_value()) {
      ++taken;
      ASSERT_EQ(*stripped, RemoveInTurn(text, tags)) << ::testing::PrintToString(text);
    }
  }
  // The pass must not decline its way out of the comparison.
  EXPECT_GT(taken, rounds / 4);
}

}  // namespace
}  // namespace pelmo
