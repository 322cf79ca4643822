#include "html/html_tree.h"

#include <gtest/gtest.h>

#include "html/html_token.h"
#include "html/tree_dump_test_util.h"

namespace pelmo {
namespace {

using test::DumpTree;
using test::MeasureTree;

TEST(HtmlTreeTest, NewNodeHasOnlyItsCode) {
  HtmlTreePtr root = NewNode(32);
  EXPECT_EQ(root->code, 32);
  EXPECT_EQ(root->parent, nullptr);
  EXPECT_EQ(root->nextSibling, nullptr);
  EXPECT_EQ(root->firstChild, nullptr);
  EXPECT_EQ(root->data, nullptr);
}

TEST(HtmlTreeTest, AppendChildKeepsOrderAndParent) {
  HtmlTreePtr root = NewNode(32);
  HtmlNode* table = AppendChild(root.get(), 59);
  HtmlNode* tr = AppendChild(root.get(), 64);
  HtmlNode* td = AppendChild(root.get(), 60);
  EXPECT_EQ(root->firstChild, table);
  EXPECT_EQ(table->nextSibling, tr);
  EXPECT_EQ(tr->nextSibling, td);
  EXPECT_EQ(td->nextSibling, nullptr);
  for (const HtmlNode* child : {table, tr, td}) {
    EXPECT_EQ(child->parent, root.get());
    EXPECT_EQ(child->firstChild, nullptr);
  }
  EXPECT_EQ(DumpTree(root.get()), "html{table{}tr{}td{}}");
}

TEST(HtmlTreeTest, AppendChildAfterChildrenLinkedByHand) {
  HtmlTreePtr root = NewNode(32);
  AppendChild(root.get(), 59);
  // A reader may not link nodes itself, but AppendChild must still find the true end.
  HtmlTreePtr loose = NewNode(64);
  root->firstChild->nextSibling = loose.release();
  AppendChild(root.get(), 60);
  EXPECT_EQ(DumpTree(root.get()), "html{table{}tr{}td{}}");
}

TEST(HtmlTreeTest, TextAccessorsFollowTheNodeKind) {
  HtmlTreePtr root = NewNode(60);
  HtmlNode* text = AppendChild(root.get(), kTextNodeCode);
  text->data = "12";
  EXPECT_TRUE(text->IsText());
  EXPECT_STREQ(text->Text(), "12");
  EXPECT_EQ(text->Attributes(), nullptr);
  HtmlAttributeList attributes;
  root->data = &attributes;
  EXPECT_FALSE(root->IsText());
  EXPECT_EQ(root->Attributes(), &attributes);
  EXPECT_EQ(root->Text(), nullptr);
}

TEST(HtmlTreeTest, FreeTreeOfNullDoesNothing) {
  FreeTree(nullptr);
}

// The sanitizer build turns a node freed twice, or one left behind, into a failure.
TEST(HtmlTreeTest, FreeTreeReleasesTheSubtreeButNotItsSiblings) {
  HtmlTreePtr root = NewNode(32);
  HtmlNode* first = AppendChild(root.get(), 18);
  AppendChild(AppendChild(first, 4), kTextNodeCode);
  HtmlNode* second = AppendChild(root.get(), 46);
  AppendChild(second, kTextNodeCode);
  root->firstChild = second;
  root->lastChild = second;
  FreeTree(first);
  EXPECT_EQ(DumpTree(root.get()), "html{p{\"<null>\"}}");
}

TEST(HtmlTreeTest, FreeTreeOfAVeryDeepTreeKeepsTheStackFlat) {
  HtmlTreePtr root = NewNode(32);
  HtmlNode* node = root.get();
  for (int i = 0; i < 1'000'000; ++i) {
    node = AppendChild(node, 18);
  }
  EXPECT_EQ(MeasureTree(root.get()).maxDepth, 1'000'000);
  root.reset();
}

TEST(HtmlTreeTest, AMillionSiblingsAreAppendedInLinearTime) {
  HtmlTreePtr root = NewNode(9);
  for (int i = 0; i < 1'000'000; ++i) {
    AppendChild(root.get(), 10);
  }
  const auto shape = MeasureTree(root.get());
  EXPECT_EQ(shape.nodes, 1'000'001);
  EXPECT_TRUE(shape.linksSane);
}

}  // namespace
}  // namespace pelmo
