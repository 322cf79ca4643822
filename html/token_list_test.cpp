#include "html/token_list.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "html/attribute_list_store.h"
#include "html/vocabulary_tables.h"

namespace pelmo {
namespace {

std::string ElementName(int code) {
  if (code < 0 || code >= static_cast<int>(kElements.size())) {
    return "?";
  }
  return std::string(kElements[static_cast<std::size_t>(code)].name);
}

std::string Quoted(const std::string& chars) {
  std::string out = "\"";
  for (char c : chars) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n";
    } else if (byte < 0x20 || byte >= 0x80) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// The list in one line: start tags by name with their entries as (attribute type value) in
// parentheses, end tags as /name, text quoted. Links are checked in both directions.
std::string Dump(const HtmlTokenList& list) {
  std::string out;
  const HtmlToken* prev = nullptr;
  for (const HtmlToken* t = list.head; t != nullptr; prev = t, t = t->next) {
    if (t->prev != prev) {
      return "broken prev link";
    }
    if (!out.empty()) {
      out += ' ';
    }
    switch (t->kind) {
      case HtmlTokenKind::StartTag: {
        out += ElementName(t->attributes->element);
        for (const HtmlAttribute& a : t->attributes->items) {
          out += '(';
          out += std::to_string(a.attribute);
          out += ' ';
          out += std::to_string(static_cast<int>(a.type));
          out += ' ';
          out += std::to_string(a.value);
          if (a.type == AttributeType::String) {
            out += ' ';
            out += Quoted(a.text);
          }
          out += ')';
        }
        break;
      }
      case HtmlTokenKind::EndTag:
        out += '/';
        out += ElementName(t->element);
        break;
      case HtmlTokenKind::Text:
        out += Quoted(t->text.chars);
        break;
    }
  }
  if (list.tail != prev) {
    return "broken tail";
  }
  return out;
}

std::string Tokenize(std::string_view text) {
  HtmlTokenList list(text.data(), static_cast<int>(text.size()));
  list.Run();
  return Dump(list);
}

struct ListCase {
  const char* input;
  const char* expected;
};

void ExpectCases(const std::vector<ListCase>& cases) {
  for (const ListCase& c : cases) {
    EXPECT_EQ(Tokenize(c.input), c.expected) << "input: " << c.input;
  }
}

TEST(HtmlTokenListTest, WhitespaceAroundText) {
  ExpectCases({
      {"<table>\n<tr>\n<td> 12 </td>\n<td>1 </td><td align=right>&nbsp;</td></tr>\n</table>\n",
       "table tr td \"12\" /td \"\\n\" td \"1\" /td td(1 4 41) \"\\xa0\" /td /tr /table"},
      {"<pre>  x  </pre>", "pre \"  x\" /pre"},
      {"<p> \t\n</p><b>\r\n</b>", "p /p b /b"},
      {"</b> a <b>", "/b \" a \" b"},  // text after an end tag keeps its blanks
      {"<td>&#256;<b>", "td \"\" b"},
      {"<td>&#256;</td>", "td /td"},
      {"<td>&#32; x</td>", "td \"  x\" /td"},  // a reference is never trimmed
  });
}

TEST(HtmlTokenListTest, UnknownElementsAndReferences) {
  ExpectCases({
      {"a<font2>b</font2>c<br>", "\"abc\" br"},
      {"AT&T&amp;co<br>", "\"AT &co\" br"},
      {"<p>&lt;&#65;&Auml;&auml;&hellip;<br>", "p \"<A\\xc4\\xe4 \" br"},
      {"<!-- x --><!DOCTYPE html><?xml v?><br>", "br"},
      {"<x>\n</x><br>", "\"\\n\" br"},
  });
}

TEST(HtmlTokenListTest, Attributes) {
  ExpectCases({
      {"<td nowrap width=50%>", "td(-1 4 31)(45 1 50)"},
      {"<font size=3 color=\"#ff0000\">", "font(34 0 10)(12 3 65535)"},
      {"<input value=\"OK\"><li value=3><p value=x>", "input(42 2 0 \"OK\") li(42 0 3) p(-1 -1 0)"},
      {"<img src=\"x\"/><br>", "img \">\" br"},
      {"<a href='' title=\"'\">", "a(20 2 0 \"\")(38 2 0 \"'\")"},
      {"<td bgcolor=white valign=TOP>", "td(5 3 -1)(41 4 48)"},
  });
}

TEST(HtmlTokenListTest, AttributesBeyondTwentyAreDropped) {
  std::string tag = "<td";
  for (int i = 0; i < 100000; ++i) {
    tag += " width=" + std::to_string(i);
  }
  tag += ">x</td>";
  HtmlTokenList list(tag.data(), static_cast<int>(tag.size()));
  list.Run();
  ASSERT_NE(list.head, nullptr);
  ASSERT_EQ(list.head->kind, HtmlTokenKind::StartTag);
  const HtmlAttributeList& attributes = *list.head->attributes;
  ASSERT_EQ(attributes.count(), 20);
  EXPECT_EQ(attributes.items[19].value, 19);
  ASSERT_NE(list.head->next, nullptr);
  EXPECT_EQ(list.head->next->text.chars, "x");
  EXPECT_EQ(list.tail->kind, HtmlTokenKind::EndTag);
}

// A tokenizer that sees what the list drops: the base handlers receive declarations,
// processing instructions and messages.
class RecordingList : public HtmlTokenList {
 public:
  using HtmlTokenList::HtmlTokenList;
  void OnDeclaration(const HtmlDeclarationEvent& d) override {
    seen += "decl:" + std::string(d.open.text, static_cast<std::size_t>(d.open.length)) + "/" +
            std::to_string(d.parameterCount) + " ";
  }
  void OnProcessingInstruction(HtmlSpan pi) override {
    seen += "pi:" + std::to_string(pi.length) + " ";
  }
  void OnMessage(const HtmlMessageEvent& m) override {
    seen += std::to_string(static_cast<int>(m.kind)) + ":" +
            std::string(m.source.text, static_cast<std::size_t>(m.source.length)) + " ";
  }
  std::uint16_t MapCharacter(std::uint16_t code) override { return code == 160 ? ' ' : code; }
  std::string seen;
};

TEST(HtmlTokenListTest, HandlersSeeEveryEvent) {
  std::string text = "<!DOCTYPE html public><?pi?><br/>&nbsp;<p>";
  RecordingList list(text.data(), static_cast<int>(text.size()));
  list.Run();
  EXPECT_EQ(list.seen, "decl:<!doctype/2 pi:6 16:/ ");
  EXPECT_EQ(Dump(list), "br \"> \" p");
}

TEST(HtmlTokenListTest, HostileInputsFinishWithSaneResults) {
  // Runs of '<' and '&' are data one byte at a time; the last one waits for more input.
  std::string lessThan(1000000, '<');
  HtmlTokenList lessList(lessThan.data(), static_cast<int>(lessThan.size()));
  lessList.Run();
  ASSERT_NE(lessList.head, nullptr);
  EXPECT_EQ(lessList.head, lessList.tail);
  EXPECT_EQ(lessList.head->text.chars.size(), lessThan.size() - 1);

  std::string ampersands = "<b>" + std::string(1000000, '&') + "</b>";
  EXPECT_EQ(Tokenize(ampersands), "b " + Quoted(std::string(1000000, '&')) + " /b");

  // An unclosed quote holds back everything after it.
  std::string unclosed = "<b>x</b><a href=\"" + std::string(1000000, 'y') + "<br>";
  EXPECT_EQ(Tokenize(unclosed), "b \"x\" /b");

  // A million tokens, released without recursion.
  std::string many;
  for (int i = 0; i < 500000; ++i) {
    many += "<b>x";
  }
  HtmlTokenList big(many.data(), static_cast<int>(many.size()));
  big.Run();
  int count = 0;
  for (const HtmlToken* t = big.head; t != nullptr; t = t->next) {
    ++count;
  }
  EXPECT_EQ(count, 999999);  // the last "x" waits for more input
}

TEST(HtmlTokenListTest, LargeTextIsOneToken) {
  std::string page = "<td>" + std::string(64 << 20, 'x') + "</td>";
  HtmlTokenList list(page.data(), static_cast<int>(page.size()));
  list.Run();
  ASSERT_NE(list.head, nullptr);
  ASSERT_NE(list.head->next, nullptr);
  EXPECT_EQ(list.head->next->text.chars.size(), std::size_t{64} << 20);
  EXPECT_EQ(list.tail->kind, HtmlTokenKind::EndTag);
}

// Lists from the store and from the heap are both released through their unique_ptr; under
// the leak checker a list whose destructor did not run leaves its long item text behind.
TEST(HtmlTokenListTest, AttributeListsFromStoreAndHeapRelease) {
  const std::string longText(100, 'v');
  std::vector<std::unique_ptr<HtmlAttributeList>> kept;
  {
    AttributeListStore store;
    std::vector<std::unique_ptr<HtmlAttributeList>> stored;
    for (int i = 0; i < 600; ++i) {  // more than one block
      stored.push_back(store.Make());
      stored.back()->element = i;
      stored.back()->items.push_back(HtmlAttribute{0, longText, 20, AttributeType::String});
    }
    EXPECT_EQ(stored[599]->element, 599);
    EXPECT_EQ(stored[0]->items[0].text, longText);
    stored.erase(stored.begin() + 100, stored.begin() + 200);  // released early
    kept.push_back(std::make_unique<HtmlAttributeList>());
    kept.back()->items.push_back(HtmlAttribute{0, longText, 20, AttributeType::String});
    stored.clear();
  }
  HtmlToken token;
  token.attributes = std::move(kept.back());
  EXPECT_EQ(token.attributes->items[0].text, longText);
}

TEST(HtmlTokenListTest, EmptyTextMakesNoTokens) {
  HtmlTokenList list("", 0);
  list.Run();
  EXPECT_EQ(list.head, nullptr);
  EXPECT_EQ(list.tail, nullptr);
}

}  // namespace
}  // namespace pelmo
