#include "html/tree_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "html/grammar.h"
#include "html/tree_cases_test_util.h"
#include "html/tree_dump_test_util.h"
#include "html/vocabulary.h"

namespace pelmo {
namespace {

using test::DumpTree;
using test::MeasureTree;
using test::TreeCase;

// The lexer delivers a page's last text only when markup follows it, so pages under test
// end in a comment, which leaves no token.
constexpr char kPageEnd[] = "<!---->";

std::string DumpOfPage(const std::string& page) {
  HtmlTreeBuilder builder(page.data(), static_cast<int>(page.size()));
  builder.Run();
  return DumpTree(builder.root());
}

void ExpectPages(const std::vector<TreeCase>& cases) {
  for (const TreeCase& c : cases) {
    EXPECT_EQ(DumpOfPage(c.markup + kPageEnd), c.dump) << "page: " << c.markup;
  }
}

TEST(HtmlTreeBuilderTest, DocumentRules) {
  ExpectPages(test::DocumentRuleCases());
}
TEST(HtmlTreeBuilderTest, OmittedEndTags) {
  ExpectPages(test::OmittedEndTagCases());
}
TEST(HtmlTreeBuilderTest, RequiredEndTags) {
  ExpectPages(test::RequiredEndTagCases());
}
TEST(HtmlTreeBuilderTest, TextWhereTheContentHasNoText) {
  ExpectPages(test::TextWithoutTextContentCases());
}
TEST(HtmlTreeBuilderTest, TextOnlyElements) {
  ExpectPages(test::TextOnlyElementCases());
}
TEST(HtmlTreeBuilderTest, StrayEndTags) {
  ExpectPages(test::StrayEndTagCases());
}
TEST(HtmlTreeBuilderTest, EveryElementInsideADivision) {
  ExpectPages(test::ElementInDivisionCases());
}

// What the token list does to the page shows in the tree: trimmed and dropped white space,
// decoded references, unknown and commented-out markup gone, case folded.
TEST(HtmlTreeBuilderTest, PageTextBecomesTheTree) {
  ExpectPages({
      {"<table>\n<tr>\n<td> 12 </td>\n<td>1 </td><td align=right>&nbsp;</td></tr>\n</table>",
       "html{head{}body{table{tr{td{\"12\"}td{\"1\"}td{\"\xA0\"}}}}}"},
      {"<!DOCTYPE html><HTML><!-- <p>no --><Body>a<font2>b</font2>c<BR>",
       "html{head{}body{\"abc\"br{}}}"},
      {"<html>\n<head>\n<title> Prices </title>\n</head>\n<body>\n<p>x",
       "html{head{title{\"Prices\"}}body{p{\"x\"}}}"},
      {"<pre>  a  <b>b</b></pre>", "html{head{}body{pre{\"  a  \"b{\"b\"}}}}"},
      {"<td>&#256;<b>", "html{head{}body{}}"},
  });
}

TEST(HtmlTreeBuilderTest, NodesPointIntoTheTokenList) {
  const std::string page = "<html lang=ja><body bgcolor=white><table border=1><tr><td>7";
  HtmlTreeBuilder builder(page.data(), static_cast<int>(page.size()));
  builder.Run();
  const HtmlNode* root = builder.root();
  ASSERT_NE(root, nullptr);
  ASSERT_NE(root->Attributes(), nullptr);
  EXPECT_EQ(root->Attributes(), builder.head->attributes.get());
  const HtmlNode* head = root->firstChild;
  EXPECT_EQ(head->data, nullptr);
  const HtmlNode* body = head->nextSibling;
  ASSERT_NE(body->Attributes(), nullptr);
  EXPECT_EQ(body->Attributes()->element, body->code);
  const HtmlNode* table = body->firstChild;
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->code, kElementTable);
  EXPECT_EQ(table->Attributes()->count(), 1);
  // The last text of a page is never delivered, so the cell stays empty.
  EXPECT_EQ(DumpTree(root), "html{head{}body{table{tr{td{}}}}}");
}

TEST(HtmlTreeBuilderTest, BeforeRunThereIsNoTree) {
  const std::string page = "<p>x";
  HtmlTreeBuilder builder(page.data(), static_cast<int>(page.size()));
  EXPECT_EQ(builder.root(), nullptr);
  EXPECT_EQ(builder.head, nullptr);
}

TEST(HtmlTreeBuilderTest, EmptyPage) {
  HtmlTreeBuilder builder("", 0);
  builder.Run();
  EXPECT_EQ(DumpTree(builder.root()), "html{head{}body{}}");
  EXPECT_EQ(builder.root()->data, nullptr);
}

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (int i = 0; i < times; ++i) {
    out += piece;
  }
  return out;
}

TEST(HtmlTreeBuilderTest, NestingStopsAtTheDepthLimit) {
  const std::string page = Repeat("<div>", 600) + Repeat("</div>", 600) + "t" + kPageEnd;
  HtmlTreeBuilder builder(page.data(), static_cast<int>(page.size()));
  builder.Run();
  const auto shape = MeasureTree(builder.root());
  EXPECT_EQ(shape.maxElementDepth, kMaxElementDepth);
  EXPECT_EQ(shape.nodes, 3 + (kMaxElementDepth - 1) + 1);
  EXPECT_TRUE(shape.linksSane);
}

TEST(HtmlTreeBuilderTest, HugePagesAreBuiltWithinTheLimit) {
  for (const std::string open : {"<div>", "<b>"}) {
    const std::string page = Repeat(open, 200'000) + "x" + kPageEnd;
    HtmlTreeBuilder builder(page.data(), static_cast<int>(page.size()));
    builder.Run();
    const auto shape = MeasureTree(builder.root());
    EXPECT_EQ(shape.maxElementDepth, kMaxElementDepth) << open;
    EXPECT_EQ(shape.nodes, 3 + kMaxElementDepth - 1) << open;
    EXPECT_TRUE(shape.linksSane) << open;
  }
}

TEST(HtmlTreeBuilderTest, AMillionLineBreaksInBody) {
  const std::string page = "<body>" + Repeat("<br>", 1'000'000) + "end" + kPageEnd;
  HtmlTreeBuilder builder(page.data(), static_cast<int>(page.size()));
  builder.Run();
  const auto shape = MeasureTree(builder.root());
  EXPECT_EQ(shape.nodes, 3 + 1'000'000 + 1);
  EXPECT_EQ(shape.maxDepth, 2);
  EXPECT_STREQ(builder.root()->firstChild->nextSibling->lastChild->Text(), "end");
}

}  // namespace
}  // namespace pelmo
