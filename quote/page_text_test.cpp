#include "quote/page_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace pelmo {
namespace {

std::optional<std::string> Cut(std::string text) {
  std::optional<std::string> page = std::move(text);
  CutToTable(page);
  return page;
}

std::optional<std::string> Strip(std::string text) {
  std::optional<std::string> page = std::move(text);
  StripElementTags(page, "small");
  return page;
}

TEST(CutToTableTest, KeepsSecondTableAfterMarker) {
  EXPECT_EQ(Cut("<table>a</table><!--/tab--><table>menu</table>"
                "<table width=100%><tr><td>1</td></tr></table><table>3</table>"),
            "<table width=100%><tr><td>1</td></tr></table>");
}

TEST(CutToTableTest, WithoutMarkerCountsFromStart) {
  EXPECT_EQ(Cut("<p><table>1</table><table>2</table><table>3</table>"), "<table>2</table>");
}

TEST(CutToTableTest, MissingPiecesLeaveEmptyText) {
  EXPECT_EQ(Cut("<!--/tab--><table>only</table>"), "");
  EXPECT_EQ(Cut("<table>1</table><!--/tab--><table>only</table>"), "");
  EXPECT_EQ(Cut("<!--/tab--><table>1</table><table>2"), "");
  EXPECT_EQ(Cut(""), "");
  // Capitals are no table start.
  EXPECT_EQ(Cut("<!--/tab--><table>1</table><TABLE>2</TABLE>"), "");
}

TEST(CutToTableTest, NestedTableEndsCutEarly) {
  EXPECT_EQ(Cut("<table>1</table><table><tr><td><table>x</table>rest</td></tr></table>"),
            "<table><tr><td><table>x</table>");
}

TEST(CutToTableTest, TableStartBehindLeadByteDoesNotCount) {
  // 0x81 '<' is one character: the first visible table start is the second literal.
  EXPECT_EQ(Cut("\x81<table>a<table>b</table><table>c</table>"), "<table>c</table>");
}

TEST(CutToTableTest, NullStaysNull) {
  std::optional<std::string> page;
  CutToTable(page);
  EXPECT_FALSE(page.has_value());
  StripElementTags(page, "small");
  EXPECT_FALSE(page.has_value());
}

TEST(StripElementTagsTest, RemovesExactLowerAndUpperTags) {
  EXPECT_EQ(Strip("x<small>1,234</small>y"), "x1,234y");
  EXPECT_EQ(Strip("<SMALL>5</SMALL>"), "5");
  EXPECT_EQ(Strip("<Small>5</Small>"), "<Small>5</Small>");
  EXPECT_EQ(Strip("<small class=a>5</small>"), "<small class=a>5");
  EXPECT_EQ(Strip("< small>5</small >"), "< small>5</small >");
}

TEST(StripElementTagsTest, RemovalsThatJoinNewTags) {
  EXPECT_EQ(Strip("<sm<small>all>"), "");
  EXPECT_EQ(Strip("</sm</small>all>"), "");
  // Lower case goes first, so a lower-case removal can join an upper-case tag ...
  EXPECT_EQ(Strip("<SM<small>ALL>"), "");
  // ... but not the other way round.
  EXPECT_EQ(Strip("<sm<SMALL>all>"), "<small>");
  // Start tags go before end tags.
  EXPECT_EQ(Strip("</<small>small>"), "");
  EXPECT_EQ(Strip("<</small>small>"), "<small>");
}

TEST(StripElementTagsTest, NameIsMappedToBothCases) {
  std::optional<std::string> page = "<b>1</b><B>2</B><Font>3";
  StripElementTags(page, "B");
  EXPECT_EQ(page, "12<Font>3");
}

}  // namespace
}  // namespace pelmo
