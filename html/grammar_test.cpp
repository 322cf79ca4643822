#include "html/grammar.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "html/token_chain_test_util.h"
#include "html/tree_cases_test_util.h"
#include "html/tree_dump_test_util.h"

namespace pelmo {
namespace {

using test::DumpTree;
using test::ElementCodeForTests;
using test::MeasureTree;
using test::TokenChain;
using test::TreeCase;

void ExpectTrees(const std::vector<TreeCase>& cases) {
  for (const TreeCase& c : cases) {
    TokenChain tokens(c.markup);
    HtmlTree tree = BuildDocumentTree(tokens.head());
    EXPECT_EQ(DumpTree(tree.root()), c.dump) << "tokens: " << c.markup;
  }
}

TEST(GrammarTest, DocumentRulesAlwaysMakeHtmlHeadAndBody) {
  ExpectTrees(test::DocumentRuleCases());
}

TEST(GrammarTest, ImpliedDocumentElementsHaveNoData) {
  TokenChain empty;
  HtmlTree tree = BuildDocumentTree(empty.head());
  const HtmlNode* head = tree.root()->firstChild;
  ASSERT_NE(head, nullptr);
  const HtmlNode* body = head->nextSibling;
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(tree.root()->parent, nullptr);
  EXPECT_EQ(tree.root()->nextSibling, nullptr);
  EXPECT_EQ(tree.root()->data, nullptr);
  EXPECT_EQ(head->data, nullptr);
  EXPECT_EQ(body->data, nullptr);
  EXPECT_EQ(body->nextSibling, nullptr);
  // The step string "cbc" fails at its third step.
  EXPECT_EQ(body->firstChild, nullptr);
}

TEST(GrammarTest, NodesPointAtTheirTokens) {
  TokenChain tokens("<html x><head x><body x><td>1<table x>t");
  HtmlTree tree = BuildDocumentTree(tokens.head());
  const HtmlToken* token = tokens.head();
  EXPECT_EQ(tree.root()->Attributes(), token->attributes.get());
  EXPECT_EQ(tree.root()->firstChild->Attributes(), token->next->attributes.get());
  const HtmlNode* body = tree.root()->firstChild->nextSibling;
  EXPECT_EQ(body->Attributes(), token->next->next->attributes.get());
  EXPECT_EQ(body->firstChild, nullptr);

  TokenChain cell("<table x><tr><td>12");
  tree = BuildDocumentTree(cell.head());
  const HtmlNode* table = tree.root()->firstChild->nextSibling->firstChild;
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->Attributes(), cell.head()->attributes.get());
  EXPECT_EQ(table->Attributes()->count(), 1);
  const HtmlNode* text = table->firstChild->firstChild->firstChild;
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->Text(), cell.head()->next->next->next->text.chars.c_str());
}

TEST(GrammarTest, OmittedEndTagsAreImplied) {
  ExpectTrees(test::OmittedEndTagCases());
}

TEST(GrammarTest, RequiredEndTagsDropWhatTheContentRefuses) {
  ExpectTrees(test::RequiredEndTagCases());
}

TEST(GrammarTest, TextWhereTheContentHasNoText) {
  ExpectTrees(test::TextWithoutTextContentCases());
}

TEST(GrammarTest, TextOnlyElementsTakeOneTextAtMost) {
  ExpectTrees(test::TextOnlyElementCases());
}

TEST(GrammarTest, StrayEndTagsInBody) {
  ExpectTrees(test::StrayEndTagCases());
}

// Whatever the tokens, the tree holds each token at most once, in list order, with the
// token's own element code, and keeps html, head and body in place.
TEST(GrammarTest, RandomTokenChainsGiveTreesInDocumentOrder) {
  const std::vector<std::string> names = {
      "table", "tr",     "td",     "th",    "caption", "p",    "b",    "a",   "div", "ul", "li",
      "br",    "select", "option", "title", "head",    "body", "html", "pre", "img", "dl", "dd"};
  std::mt19937 random(20261207);
  for (int round = 0; round < 200; ++round) {
    TokenChain tokens;
    std::map<const void*, int> position;  // token payload -> index in the list
    for (int i = 0; i < 300; ++i) {
      const std::string& name = names[random() % names.size()];
      switch (random() % 3) {
        case 0:
          tokens.Start(name);
          break;
        case 1:
          tokens.End(name);
          break;
        default:
          tokens.Text("t");
          break;
      }
    }
    int index = 0;
    for (const HtmlToken* t = tokens.head(); t != nullptr; t = t->next, ++index) {
      if (t->kind == HtmlTokenKind::StartTag) {
        position[t->attributes.get()] = index;
      } else if (t->kind == HtmlTokenKind::Text) {
        position[t->text.chars.c_str()] = index;
      }
    }
    HtmlTree tree = BuildDocumentTree(tokens.head());
    ASSERT_NE(tree.root()->firstChild, nullptr);
    ASSERT_NE(tree.root()->firstChild->nextSibling, nullptr);
    EXPECT_EQ(tree.root()->firstChild->code, ElementCodeForTests("head"));
    EXPECT_EQ(tree.root()->firstChild->nextSibling->code, ElementCodeForTests("body"));
    EXPECT_TRUE(MeasureTree(tree.root()).linksSane);
    // Pre-order walk with an explicit stack.
    int last = -1;
    std::vector<const HtmlNode*> stack = {tree.root()};
    while (!stack.empty()) {
      const HtmlNode* node = stack.back();
      stack.pop_back();
      if (node->data != nullptr) {
        const auto found = position.find(node->data);
        ASSERT_NE(found, position.end()) << "round " << round;
        EXPECT_GT(found->second, last) << "round " << round;
        last = found->second;
        if (!node->IsText()) {
          EXPECT_EQ(node->Attributes()->element, node->code);
        }
      }
      std::vector<const HtmlNode*> children;
      for (const HtmlNode* c = node->firstChild; c != nullptr; c = c->nextSibling) {
        children.push_back(c);
      }
      stack.insert(stack.end(), children.rbegin(), children.rend());
    }
  }
}

TEST(GrammarTest, EveryElementInsideADivision) {
  ExpectTrees(test::ElementInDivisionCases());
}

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (int i = 0; i < times; ++i) {
    out += piece;
  }
  return out;
}

TEST(GrammarTest, NestingStopsAtTheDepthLimit) {
  // 600 nested divs: those that would lie deeper than the limit end the deepest allowed one,
  // whose end-tag search eats them; each open div then takes one end tag, and body drops
  // the rest.
  TokenChain tokens(Repeat("<div>", 600) + Repeat("</div>", 600) + "t");
  HtmlTree tree = BuildDocumentTree(tokens.head());
  const auto shape = MeasureTree(tree.root());
  EXPECT_EQ(shape.maxElementDepth, kMaxElementDepth);
  EXPECT_EQ(shape.nodes, 3 + (kMaxElementDepth - 1) + 1);
  EXPECT_TRUE(shape.linksSane);
  const HtmlNode* body = tree.root()->firstChild->nextSibling;
  ASSERT_NE(body->firstChild, nullptr);
  ASSERT_NE(body->firstChild->nextSibling, nullptr);
  EXPECT_STREQ(body->firstChild->nextSibling->Text(), "t");
}

TEST(GrammarTest, TextIsNotLimitedByDepth) {
  TokenChain tokens(Repeat("<div>", kMaxElementDepth - 1) + "deep");
  HtmlTree tree = BuildDocumentTree(tokens.head());
  const auto shape = MeasureTree(tree.root());
  EXPECT_EQ(shape.maxElementDepth, kMaxElementDepth);
  EXPECT_EQ(shape.maxDepth, kMaxElementDepth + 1);
}

void ExpectBoundedNesting(const std::string& open) {
  TokenChain tokens(Repeat(open, 200'000) + "x");
  HtmlTree tree = BuildDocumentTree(tokens.head());
  const auto shape = MeasureTree(tree.root());
  EXPECT_EQ(shape.maxElementDepth, kMaxElementDepth) << open;
  EXPECT_EQ(shape.nodes, 3 + kMaxElementDepth - 1) << open;
  EXPECT_TRUE(shape.linksSane) << open;
}

TEST(GrammarTest, HugeNestingIsBuiltWithinTheLimit) {
  ExpectBoundedNesting("<div>");
  ExpectBoundedNesting("<b>");
}

TEST(GrammarTest, NestedTablesStopAtTheLimitToo) {
  TokenChain tokens(Repeat("<table><tr><td>", 100'000));
  HtmlTree tree = BuildDocumentTree(tokens.head());
  const auto shape = MeasureTree(tree.root());
  EXPECT_EQ(shape.maxElementDepth, kMaxElementDepth);
  EXPECT_TRUE(shape.linksSane);
}

TEST(GrammarTest, AMillionLineBreaksInBody) {
  TokenChain tokens;
  for (int i = 0; i < 1'000'000; ++i) {
    tokens.Start("br");
  }
  HtmlTree tree = BuildDocumentTree(tokens.head());
  const auto shape = MeasureTree(tree.root());
  EXPECT_EQ(shape.nodes, 3 + 1'000'000);
  EXPECT_EQ(shape.maxDepth, 2);
  EXPECT_EQ(tree.root()->firstChild->nextSibling->lastChild->code, ElementCodeForTests("br"));
}

}  // namespace
}  // namespace pelmo
