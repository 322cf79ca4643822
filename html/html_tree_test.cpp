#include "html/html_tree.h"

#include <gtest/gtest.h>

#include <utility>

#include "html/html_token.h"
#include "html/tree_dump_test_util.h"

namespace pelmo {
namespace {

using test::DumpTree;
using test::MeasureTree;

TEST(HtmlTreeTest, NewNodeHasOnlyItsCodeAndTheFirstIsTheRoot) {
  HtmlTree tree;
  EXPECT_EQ(tree.root(), nullptr);
  HtmlNode* root = tree.NewNode(32);
  EXPECT_EQ(tree.root(), root);
  EXPECT_EQ(root->code, 32);
  EXPECT_EQ(root->parent, nullptr);
  EXPECT_EQ(root->nextSibling, nullptr);
  EXPECT_EQ(root->firstChild, nullptr);
  EXPECT_EQ(root->data, nullptr);
  EXPECT_NE(tree.NewNode(9), root);
  EXPECT_EQ(tree.root(), root);
}

TEST(HtmlTreeTest, AppendChildKeepsOrderAndParent) {
  HtmlTree tree;
  HtmlNode* root = tree.NewNode(32);
  HtmlNode* table = tree.AppendChild(root, 59);
  HtmlNode* tr = tree.AppendChild(root, 64);
  HtmlNode* td = tree.AppendChild(root, 60);
  EXPECT_EQ(root->firstChild, table);
  EXPECT_EQ(table->nextSibling, tr);
  EXPECT_EQ(tr->nextSibling, td);
  EXPECT_EQ(td->nextSibling, nullptr);
  for (const HtmlNode* child : {table, tr, td}) {
    EXPECT_EQ(child->parent, root);
    EXPECT_EQ(child->firstChild, nullptr);
  }
  EXPECT_EQ(DumpTree(root), "html{table{}tr{}td{}}");
}

TEST(HtmlTreeTest, AppendChildAfterChildrenLinkedByHand) {
  HtmlTree tree;
  HtmlNode* root = tree.NewNode(32);
  tree.AppendChild(root, 59);
  // A reader may not link nodes itself, but AppendChild must still find the true end.
  root->firstChild->nextSibling = tree.NewNode(64);
  tree.AppendChild(root, 60);
  EXPECT_EQ(DumpTree(root), "html{table{}tr{}td{}}");
}

TEST(HtmlTreeTest, TextAccessorsFollowTheNodeKind) {
  HtmlTree tree;
  HtmlNode* cell = tree.NewNode(60);
  HtmlNode* text = tree.AppendChild(cell, kTextNodeCode);
  text->data = "12";
  EXPECT_TRUE(text->IsText());
  EXPECT_STREQ(text->Text(), "12");
  EXPECT_EQ(text->Attributes(), nullptr);
  HtmlAttributeList attributes;
  cell->data = &attributes;
  EXPECT_FALSE(cell->IsText());
  EXPECT_EQ(cell->Attributes(), &attributes);
  EXPECT_EQ(cell->Text(), nullptr);
}

TEST(HtmlTreeTest, FreeTreeReleasesTheSubtreeOnly) {
  HtmlTree tree;
  HtmlNode* root = tree.NewNode(32);
  HtmlNode* first = tree.AppendChild(root, 18);
  tree.AppendChild(tree.AppendChild(first, 4), kTextNodeCode)->data = "x";
  HtmlNode* second = tree.AppendChild(root, 46);
  tree.AppendChild(second, kTextNodeCode)->data = "y";
  EXPECT_EQ(tree.NodeCount(), 6u);
  tree.FreeTree(nullptr);
  EXPECT_EQ(tree.NodeCount(), 6u);

  root->firstChild = second;
  tree.FreeTree(first);
  EXPECT_EQ(tree.NodeCount(), 3u);
  EXPECT_EQ(DumpTree(root), "html{p{\"y\"}}");

  // Released nodes are handed out again, fresh.
  HtmlNode* again = tree.AppendChild(second, 10);
  EXPECT_EQ(again->firstChild, nullptr);
  EXPECT_EQ(again->data, nullptr);
  EXPECT_EQ(DumpTree(root), "html{p{\"y\"br{}}}");
  EXPECT_EQ(tree.NodeCount(), 4u);

  tree.FreeTree(root);
  EXPECT_EQ(tree.NodeCount(), 0u);
  EXPECT_EQ(tree.root(), nullptr);
}

TEST(HtmlTreeTest, MovingTheTreeKeepsItsNodes) {
  HtmlTree tree;
  HtmlNode* root = tree.NewNode(32);
  for (int i = 0; i < 1000; ++i) {
    tree.AppendChild(root, 10);
  }
  HtmlTree moved = std::move(tree);
  EXPECT_EQ(moved.root(), root);
  EXPECT_EQ(MeasureTree(moved.root()).nodes, 1001);
}

TEST(HtmlTreeTest, FreeTreeOfAVeryDeepTreeKeepsTheStackFlat) {
  HtmlTree tree;
  HtmlNode* node = tree.NewNode(32);
  for (int i = 0; i < 1'000'000; ++i) {
    node = tree.AppendChild(node, 18);
  }
  EXPECT_EQ(MeasureTree(tree.root()).maxDepth, 1'000'000);
  tree.FreeTree(tree.root());
  EXPECT_EQ(tree.NodeCount(), 0u);
}

TEST(HtmlTreeTest, AMillionSiblingsAreAppendedInLinearTime) {
  HtmlTree tree;
  HtmlNode* body = tree.NewNode(9);
  for (int i = 0; i < 1'000'000; ++i) {
    tree.AppendChild(body, 10);
  }
  const auto shape = MeasureTree(body);
  EXPECT_EQ(shape.nodes, 1'000'001);
  EXPECT_TRUE(shape.linksSane);
}

}  // namespace
}  // namespace pelmo
