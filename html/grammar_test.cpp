#include "html/grammar.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "html/token_chain_test_util.h"
#include "html/tree_dump_test_util.h"

namespace pelmo {
namespace {

using test::DumpTree;
using test::ElementCodeForTests;
using test::MeasureTree;
using test::TokenChain;

struct TreeCase {
  const char* markup;  // hand-made tokens, see token_chain_test_util.h
  const char* dump;
};

void ExpectTrees(std::initializer_list<TreeCase> cases) {
  for (const TreeCase& c : cases) {
    TokenChain tokens(c.markup);
    HtmlTreePtr root = BuildDocumentTree(tokens.head());
    EXPECT_EQ(DumpTree(root.get()), c.dump) << "tokens: " << c.markup;
  }
}

TEST(GrammarTest, DocumentRulesAlwaysMakeHtmlHeadAndBody) {
  ExpectTrees({
      {"", "html{head{}body{}}"},
      {"<html><head><body></body></head></html>", "html{head{}body{}}"},
      {"x<html>y<head>z<title>t</title>", "html{head{title{\"t\"}}body{}}"},
      {"<title>t</title><p>x", "html{head{title{\"t\"}}body{p{\"x\"}}}"},
      // Text in front of the body tag is dropped; without the tag it is body's content.
      {"x<body>y", "html{head{}body{\"y\"}}"},
      {"x", "html{head{}body{\"x\"}}"},
      {"<head>x<p>y", "html{head{}body{\"x\"p{\"y\"}}}"},
      {"<head><base><meta><link><isindex><script>s</script><style>c</style>",
       "html{head{base{}meta{}link{}isindex{}script{\"s\"}style{\"c\"}}body{}}"},
      {"<head><style>s</style>", "html{head{style{\"s\"}}body{}}"},
      {"<head><title>a<b>c</b></title><meta>", "html{head{title{\"a\"}meta{}}body{}}"},
      // Once body ends, nothing after it is read.
      {"<body>a<body>b", "html{head{}body{\"a\"}}"},
      // body drops even its own and html's end tags as strays.
      {"a</body></html><p>b", "html{head{}body{\"a\"p{\"b\"}}}"},
  });
}

TEST(GrammarTest, ImpliedDocumentElementsHaveNoData) {
  TokenChain empty;
  HtmlTreePtr root = BuildDocumentTree(empty.head());
  const HtmlNode* head = root->firstChild;
  ASSERT_NE(head, nullptr);
  const HtmlNode* body = head->nextSibling;
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(root->parent, nullptr);
  EXPECT_EQ(root->nextSibling, nullptr);
  EXPECT_EQ(root->data, nullptr);
  EXPECT_EQ(head->data, nullptr);
  EXPECT_EQ(body->data, nullptr);
  EXPECT_EQ(body->nextSibling, nullptr);
  // The step string "cbc" fails at its third step.
  EXPECT_EQ(body->firstChild, nullptr);
}

TEST(GrammarTest, NodesPointAtTheirTokens) {
  TokenChain tokens("<html x><head x><body x><td>1<table x>t");
  HtmlTreePtr root = BuildDocumentTree(tokens.head());
  const HtmlToken* token = tokens.head();
  EXPECT_EQ(root->Attributes(), token->attributes.get());
  EXPECT_EQ(root->firstChild->Attributes(), token->next->attributes.get());
  const HtmlNode* body = root->firstChild->nextSibling;
  EXPECT_EQ(body->Attributes(), token->next->next->attributes.get());
  EXPECT_EQ(body->firstChild, nullptr);

  TokenChain cell("<table x><tr><td>12");
  root = BuildDocumentTree(cell.head());
  const HtmlNode* table = root->firstChild->nextSibling->firstChild;
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->Attributes(), cell.head()->attributes.get());
  EXPECT_EQ(table->Attributes()->count(), 1);
  const HtmlNode* text = table->firstChild->firstChild->firstChild;
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->Text(), cell.head()->next->next->next->text.chars.c_str());
}

TEST(GrammarTest, OmittedEndTagsAreImplied) {
  ExpectTrees({
      {"<table><tr><td>1<td>2<tr><td>3</table>x",
       "html{head{}body{table{tr{td{\"1\"}td{\"2\"}}tr{td{\"3\"}}}\"x\"}}"},
      {"<p>a<p>b", "html{head{}body{p{\"a\"}p{\"b\"}}}"},
      {"<p>a<table></table>", "html{head{}body{p{\"a\"}table{}}}"},
      {"<select><option>a<option>b</select>",
       "html{head{}body{select{option{\"a\"}option{\"b\"}}}}"},
      {"<select><option>a</option><option>b</option></select>",
       "html{head{}body{select{option{\"a\"}option{\"b\"}}}}"},
      {"<dl><dt>t<dd>d<p>e</dl>x", "html{head{}body{dl{dt{\"t\"}dd{\"d\"p{\"e\"}}}\"x\"}}"},
      {"<ul><li>a<li>b<ul><li>c</ul></ul>",
       "html{head{}body{ul{li{\"a\"}li{\"b\"ul{li{\"c\"}}}}}}"},
      {"<table><tr><th>h<td><table><tr><td>in</table>out</table>",
       "html{head{}body{table{tr{th{\"h\"}td{table{tr{td{\"in\"}}}\"out\"}}}}}"},
  });
}

TEST(GrammarTest, RequiredEndTagsDropWhatTheContentRefuses) {
  ExpectTrees({
      {"<b>x<table><tr><td>y</table>z</b>w", "html{head{}body{b{\"x\"}\"w\"}}"},
      {"<table><caption>c</caption><caption>d</table>e",
       "html{head{}body{table{caption{\"c\"}}\"e\"}}"},
      {"<table>x</table>y", "html{head{}body{table{}\"y\"}}"},
      {"<pre>a<b>b</b><p>c</pre>d", "html{head{}body{pre{\"a\"b{\"b\"}}\"d\"}}"},
      // Anchors do not nest: the inner one ends the outer one, whose end tag then follows.
      {"<a>x<a>y</a>z", "html{head{}body{a{\"x\"}\"z\"}}"},
      {"<a>x<b>y</b><img></a>", "html{head{}body{a{\"x\"b{\"y\"}img{}}}}"},
      {"<map><area><area>x</map>", "html{head{}body{map{area{}area{}}}}"},
      {"<applet><param>x<param></applet>", "html{head{}body{applet{param{}\"x\"param{}}}}"},
      {"<address>a<p>b</address>", "html{head{}body{address{\"a\"p{\"b\"}}}}"},
      {"<div><h1>t</h1><center>c</center><form><input></form></div>",
       "html{head{}body{div{h1{\"t\"}center{\"c\"}form{input{}}}}}"},
      // A required end tag that never comes takes the rest of the list.
      {"<div>a<td>b</b>c", "html{head{}body{div{\"a\"}}}"},
  });
}

TEST(GrammarTest, TextWhereTheContentHasNoText) {
  ExpectTrees({
      {"<ul>x<li>a</ul>", "html{head{}body{ul{li{\"a\"}}}}"},
      {"<table>x<tr>y<td>1</table>", "html{head{}body{table{tr{td{\"1\"}}}}}"},
      {"<select>x</select>y", "html{head{}body{select{}\"y\"}}"},
      {"<ul>x</ul>y", "html{head{}body{ul{}\"y\"}}"},
  });
}

TEST(GrammarTest, TextOnlyElementsTakeOneTextAtMost) {
  ExpectTrees({
      {"<textarea>a</textarea>b", "html{head{}body{textarea{\"a\"}\"b\"}}"},
      {"<textarea><b>a</b>c</textarea>d", "html{head{}body{textarea{}\"d\"}}"},
      {"<xmp>a<b>c</xmp><listing>l</listing>", "html{head{}body{xmp{\"a\"}listing{\"l\"}}}"},
      // plaintext and option have optional end tags: what follows goes on in the parent.
      {"<plaintext>a<b>c</b>", "html{head{}body{plaintext{\"a\"}b{\"c\"}}}"},
      {"<plaintext>a</plaintext>b", "html{head{}body{plaintext{\"a\"}\"b\"}}"},
  });
}

TEST(GrammarTest, StrayEndTagsInBody) {
  ExpectTrees({
      {"</div>a", "html{head{}body{\"a\"}}"},
      {"<br></br>a", "html{head{}body{br{}\"a\"}}"},
      // An empty element's end tag stays where it is and ends the content around it.
      {"<p><img></img>x", "html{head{}body{p{img{}}\"x\"}}"},
      {"<table><tr><td><br></br>a<td>b</table>c", "html{head{}body{table{tr{td{br{}}}}\"c\"}}"},
      {"<td>a", "html{head{}body{}}"},
      {"x<td>a<p>b", "html{head{}body{\"x\"}}"},
      {"<li>x", "html{head{}body{}}"},
  });
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
    HtmlTreePtr root = BuildDocumentTree(tokens.head());
    ASSERT_NE(root->firstChild, nullptr);
    ASSERT_NE(root->firstChild->nextSibling, nullptr);
    EXPECT_EQ(root->firstChild->code, ElementCodeForTests("head"));
    EXPECT_EQ(root->firstChild->nextSibling->code, ElementCodeForTests("body"));
    EXPECT_TRUE(MeasureTree(root.get()).linksSane);
    // Pre-order walk with an explicit stack.
    int last = -1;
    std::vector<const HtmlNode*> stack = {root.get()};
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

// Each element once inside a div, holding a text and closed by its own end tag.
TEST(GrammarTest, EveryElementInsideADivision) {
  const auto expect = [](std::initializer_list<const char*> names, const std::string& inner) {
    for (const std::string name : names) {
      const std::string tokens = "<div><" + name + ">t</" + name + "></div>x";
      std::string dump = inner;
      dump.replace(dump.find('X'), 1, name);
      ExpectTrees({{tokens.c_str(), ("html{head{}body{div{" + dump + "}\"x\"}}").c_str()}});
    }
  };
  // The div's content takes the element, which takes the text.
  expect({"tt",   "i",        "b",       "u",       "strike",   "big",  "small",  "sub",
          "sup",  "em",       "strong",  "dfn",     "code",     "samp", "kbd",    "var",
          "cite", "font",     "a",       "applet",  "h1",       "h2",   "h3",     "h4",
          "h5",   "h6",       "p",       "address", "pre",      "div",  "center", "blockquote",
          "form", "textarea", "listing", "xmp",     "plaintext"},
         "X{\"t\"}");
  // Empty elements: the text follows as their sibling; their end tag ends the div.
  expect({"img", "basefont", "br", "input", "isindex", "hr"}, "X{}\"t\"");
  // Containers without text: the text ends the content and the end-tag search drops it.
  expect({"ul", "ol", "dir", "menu", "dl", "select", "map", "table"}, "X{}");
}

TEST(GrammarTest, ElementsADivisionRefuses) {
  for (const char* name :
       {"li", "dd", "dt", "td", "th", "tr", "caption", "option", "area", "param", "title", "script",
        "style", "base", "meta", "link", "head", "body", "html"}) {
    const std::string tokens = std::string("<div>a<") + name + ">t</div>x";
    ExpectTrees({{tokens.c_str(), "html{head{}body{div{\"a\"}\"x\"}}"}});
  }
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
  HtmlTreePtr root = BuildDocumentTree(tokens.head());
  const auto shape = MeasureTree(root.get());
  EXPECT_EQ(shape.maxElementDepth, kMaxElementDepth);
  EXPECT_EQ(shape.nodes, 3 + (kMaxElementDepth - 1) + 1);
  EXPECT_TRUE(shape.linksSane);
  const HtmlNode* body = root->firstChild->nextSibling;
  ASSERT_NE(body->firstChild, nullptr);
  ASSERT_NE(body->firstChild->nextSibling, nullptr);
  EXPECT_STREQ(body->firstChild->nextSibling->Text(), "t");
}

TEST(GrammarTest, TextIsNotLimitedByDepth) {
  TokenChain tokens(Repeat("<div>", kMaxElementDepth - 1) + "deep");
  HtmlTreePtr root = BuildDocumentTree(tokens.head());
  const auto shape = MeasureTree(root.get());
  EXPECT_EQ(shape.maxElementDepth, kMaxElementDepth);
  EXPECT_EQ(shape.maxDepth, kMaxElementDepth + 1);
}

void ExpectBoundedNesting(const std::string& open) {
  TokenChain tokens(Repeat(open, 200'000) + "x");
  HtmlTreePtr root = BuildDocumentTree(tokens.head());
  const auto shape = MeasureTree(root.get());
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
  HtmlTreePtr root = BuildDocumentTree(tokens.head());
  const auto shape = MeasureTree(root.get());
  EXPECT_EQ(shape.maxElementDepth, kMaxElementDepth);
  EXPECT_TRUE(shape.linksSane);
}

TEST(GrammarTest, AMillionLineBreaksInBody) {
  TokenChain tokens;
  for (int i = 0; i < 1'000'000; ++i) {
    tokens.Start("br");
  }
  HtmlTreePtr root = BuildDocumentTree(tokens.head());
  const auto shape = MeasureTree(root.get());
  EXPECT_EQ(shape.nodes, 3 + 1'000'000);
  EXPECT_EQ(shape.maxDepth, 2);
  EXPECT_EQ(root->firstChild->nextSibling->lastChild->code, ElementCodeForTests("br"));
}

}  // namespace
}  // namespace pelmo
