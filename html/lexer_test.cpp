#include "html/lexer.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace pelmo {
namespace {

const char* KindName(HtmlLexKind kind) {
  static constexpr const char* kNames[] = {
      "?",         "Data",       "StartTagOpen", "EndTagOpen", "TagClose",
      "AttrName",  "NameToken",  "Number",       "NameValue",  "LiteralValue",
      "EntityRef", "CharRef",    "ReferenceEnd", "PI",         "DeclOpen",
      "Comment",   "Limitation", "Error",        "Warning"};
  return kNames[static_cast<int>(kind)];
}

// One line per event: the callback letter (C content, D declaration, M message), then each
// token as Kind:"text" (null for a token without text). Control bytes are escaped.
std::string Describe(char sink, int count, const HtmlLexKind* kinds, const char* const* texts,
                     const int* lengths) {
  std::string line(1, sink);
  for (int i = 0; i < count; ++i) {
    line += ' ';
    line += KindName(kinds[i]);
    if (texts[i] == nullptr) {
      line += lengths[i] == 0 ? ":null" : ":null-with-length";
      continue;
    }
    line += ":\"";
    for (int k = 0; k < lengths[i]; ++k) {
      char c = texts[i][k];
      if (c == '\n') {
        line += "\\n";
      } else if (c == '\r') {
        line += "\\r";
      } else {
        line += c;
      }
    }
    line += '"';
  }
  return line;
}

template <char kSink>
int Record(void* user, HtmlLexer&, int count, const HtmlLexKind* kinds, const char* const* texts,
           const int* lengths) {
  static_cast<std::vector<std::string>*>(user)->push_back(
      Describe(kSink, count, kinds, texts, lengths));
  return 0;
}

using Events = std::vector<std::string>;

HtmlLexSinks SinksFor(Events& events) {
  HtmlLexSinks sinks;
  sinks.content = &Record<'C'>;
  sinks.declaration = &Record<'D'>;
  sinks.message = &Record<'M'>;
  sinks.contentUser = sinks.declarationUser = sinks.messageUser = &events;
  return sinks;
}

// Feeds `text` in chunks cut at `cuts` (ascending offsets), then the end of input if asked.
Events Lex(std::string_view text, std::vector<std::size_t> cuts = {}, bool endOfInput = true,
           bool shortcuts = true) {
  Events events;
  HtmlLexer lexer;
  lexer.SetNormalize(true);
  lexer.SetShortcuts(shortcuts);
  HtmlLexSinks sinks = SinksFor(events);
  std::size_t from = 0;
  cuts.push_back(text.size());
  for (std::size_t cut : cuts) {
    // A chunk of its own so that the sanitizer sees any read past it.
    std::string chunk(text.substr(from, cut - from));
    if (!chunk.empty()) {
      lexer.Feed(chunk.data(), static_cast<int>(chunk.size()), sinks);
    }
    from = cut;
  }
  if (endOfInput) {
    lexer.Feed("", 0, sinks);
  }
  return events;
}

struct LexCase {
  const char* input;
  Events expected;
};

void ExpectCases(const std::vector<LexCase>& cases) {
  for (const LexCase& c : cases) {
    EXPECT_EQ(Lex(c.input), c.expected) << "input: " << c.input;
  }
}

TEST(HtmlLexerTest, StartTagsAndAttributeValues) {
  ExpectCases({
      {"<TD ALIGN=Right>",
       {R"(C StartTagOpen:"<td" AttrName:"align" NameValue:"Right" TagClose:">")"}},
      {"<td nowrap>", {R"(C StartTagOpen:"<td" AttrName:null NameToken:"nowrap" TagClose:">")"}},
      {"<B>x</Small.1>",
       {R"(C StartTagOpen:"<b" TagClose:">")", R"(C Data:"x")",
        R"(C EndTagOpen:"</small.1" TagClose:">")"}},
      {"<a href=\"x.html\">",
       {R"(C StartTagOpen:"<a" AttrName:"href" LiteralValue:""x.html"" TagClose:">")"}},
      {"<p align='left' >",
       {R"(C StartTagOpen:"<p" AttrName:"align" LiteralValue:"'left'" TagClose:">")"}},
      {"<td WIDTH = 100%\r\n>",
       {R"(M Error:"attribute value needs quotes" Data:"100%\r\n")",
        R"(C StartTagOpen:"<td" AttrName:"width" LiteralValue:"100%" TagClose:">")"}},
      {"<x a='a'b>",
       {R"(M Error:"attribute value needs quotes" Data:"'a'b")",
        R"(C StartTagOpen:"<x" AttrName:"a" LiteralValue:"'a'b" TagClose:">")"}},
      {"<td width=>",
       {R"(M Error:"Tag close found where attribute value expected" Data:">")",
        R"(C StartTagOpen:"<td" AttrName:"width")"}},
      {"<a\nhref=x\n>", {R"(C StartTagOpen:"<a" AttrName:"href" NameValue:"x" TagClose:">")"}},
  });
}

// Start tags with attributes in the usual form are read in one step; at every point where
// that form ends, the rules take over, and the events must be theirs either way.
TEST(HtmlLexerTest, AttributeTagsReadInOneStepGiveTheRulesEvents) {
  ExpectCases({
      // A single quote does not end an unquoted value: where that rule reads further than
      // the quoted one, it wins.
      {"<x a='a'b=c>",
       {R"(M Error:"attribute value needs quotes" Data:"'a'b=c")",
        R"(C StartTagOpen:"<x" AttrName:"a" LiteralValue:"'a'b=c" TagClose:">")"}},
      {"<x a='a' b=c>",
       {R"(C StartTagOpen:"<x" AttrName:"a" LiteralValue:"'a'" AttrName:"b" NameValue:"c" TagClose:">")"}},
      {"<x a='a'>", {R"(C StartTagOpen:"<x" AttrName:"a" LiteralValue:"'a'" TagClose:">")"}},
      {"<x a='a'\"b\">",
       {R"(M Error:"bad character in tag" Data:""")", R"(M Error:"bad character in tag" Data:""")",
        R"(C StartTagOpen:"<x" AttrName:"a" LiteralValue:"'a'" AttrName:null NameToken:"b" TagClose:">")"}},
      {"<x a='a>b'>", {R"(C StartTagOpen:"<x" AttrName:"a" LiteralValue:"'a>b'" TagClose:">")"}},
      {"<x a=\"a\"b=c>",
       {R"(C StartTagOpen:"<x" AttrName:"a" LiteralValue:""a"" AttrName:"b" NameValue:"c" TagClose:">")"}},
      {"<x a='a'\tb=\"c\"d>",
       {R"(C StartTagOpen:"<x" AttrName:"a" LiteralValue:"'a'" AttrName:"b" LiteralValue:""c"" AttrName:null NameToken:"d" TagClose:">")"}},
      {"<x a='a", {R"(M Error:"attribute value needs quotes" Data:"'a")"}},
      {"<x a=b'c d=e>",
       {R"(M Error:"attribute value needs quotes" Data:"b'c ")",
        R"(C StartTagOpen:"<x" AttrName:"a" LiteralValue:"b'c" AttrName:"d" NameValue:"e" TagClose:">")"}},
      {"<tr align=right bgcolor=\"#ffffff\">",
       {R"(C StartTagOpen:"<tr" AttrName:"align" NameValue:"right" AttrName:"bgcolor" LiteralValue:""#ffffff"" TagClose:">")"}},
      {"<a b=c d='e' f=\"g\">",
       {R"(C StartTagOpen:"<a" AttrName:"b" NameValue:"c" AttrName:"d" LiteralValue:"'e'" AttrName:"f" LiteralValue:""g"" TagClose:">")"}},
      {"<a b = c\td=\n\"e\">",
       {R"(C StartTagOpen:"<a" AttrName:"b" NameValue:"c" AttrName:"d" LiteralValue:""e"" TagClose:">")"}},
      {"<a b=c.d-1 e=2>",
       {R"(C StartTagOpen:"<a" AttrName:"b" NameValue:"c.d-1" AttrName:"e" NameValue:"2" TagClose:">")"}},
      {"<a b=c\rd>",
       {R"(M Error:"attribute value needs quotes" Data:"c\rd")",
        R"(C StartTagOpen:"<a" AttrName:"b" LiteralValue:"c\rd" TagClose:">")"}},
      {"<a b=c\ve>",
       {R"(M Error:"attribute value needs quotes" Data:"ce")",
        R"(C StartTagOpen:"<a" AttrName:"b" LiteralValue:"ce" TagClose:">")"}},
      {"<a b=c/>",
       {R"(M Error:"attribute value needs quotes" Data:"c/")",
        R"(C StartTagOpen:"<a" AttrName:"b" LiteralValue:"c/" TagClose:">")"}},
      {"<a b=\"x=>\"  >",
       {R"(C StartTagOpen:"<a" AttrName:"b" LiteralValue:""x=>"" TagClose:">")"}},
      {"<a b=\"x=\" c=\">\">",
       {R"(C StartTagOpen:"<a" AttrName:"b" LiteralValue:""x="" AttrName:"c" LiteralValue:"">"" TagClose:">")"}},
      {"<a b=c D=e>",
       {R"(C StartTagOpen:"<a" AttrName:"b" NameValue:"c" AttrName:"d" NameValue:"e" TagClose:">")"}},
      {"<a b=c d>",
       {R"(C StartTagOpen:"<a" AttrName:"b" NameValue:"c" AttrName:null NameToken:"d" TagClose:">")"}},
      {"<a b='c>",
       {R"(M Error:"attribute value needs quotes" Data:"'c")",
        R"(C StartTagOpen:"<a" AttrName:"b" LiteralValue:"'c" TagClose:">")"}},
      {"<a b=c 5=d>",
       {R"(M Error:"bad character in tag" Data:"5")", R"(M Error:"bad character in tag" Data:"=")",
        R"(C StartTagOpen:"<a" AttrName:"b" NameValue:"c" AttrName:null NameToken:"d" TagClose:">")"}},
      {"<a b=#fff>",
       {R"(M Error:"attribute value needs quotes" Data:"#fff")",
        R"(C StartTagOpen:"<a" AttrName:"b" LiteralValue:"#fff" TagClose:">")"}},
      {"<a b=>",
       {R"(M Error:"Tag close found where attribute value expected" Data:">")",
        R"(C StartTagOpen:"<a" AttrName:"b")"}},
      {"<a b=c", {}},
      {"<a b=1 c=2 d=3 e=4 f=5 g=6 h=7 i=8 j=9>",
       {R"(C StartTagOpen:"<a" AttrName:"b" NameValue:"1" AttrName:"c" NameValue:"2" AttrName:"d" NameValue:"3" AttrName:"e" NameValue:"4" AttrName:"f" NameValue:"5" AttrName:"g" NameValue:"6" AttrName:"h" NameValue:"7" AttrName:"i" NameValue:"8" AttrName:"j" NameValue:"9" TagClose:">")"}},
      {"<a b=c>text",
       {R"(C StartTagOpen:"<a" AttrName:"b" NameValue:"c" TagClose:">")", R"(C Data:"text")"}},
  });
}

TEST(HtmlLexerTest, TagsCutShort) {
  ExpectCases({
      {"<br/>x",
       {R"(M Limitation:"NET tags not supported" Data:"/")", R"(C StartTagOpen:"<br")",
        R"(C Data:">x")"}},
      {"<img src=\"x\"/>",
       {R"(M Limitation:"NET tags not supported" Data:"/")",
        R"(C StartTagOpen:"<img" AttrName:"src" LiteralValue:""x"")", R"(C Data:">")"}},
      {"<p <b>",
       {R"(M Limitation:"Unclosed tags not supported" Data:"<")", R"(C StartTagOpen:"<p")",
        R"(C Data:"b>")"}},
      {"</td x>",
       {R"(M Error:"bad character in tag" Data:"x")", R"(C EndTagOpen:"</td" TagClose:">")"}},
      {"<td 5>",
       {R"(M Error:"bad character in tag" Data:"5")", R"(C StartTagOpen:"<td" TagClose:">")"}},
      {"<a b=\"c>d=\">",
       {R"(M Warning:"missing attribute end-quote?" Data:""c>d="")",
        R"(C StartTagOpen:"<a" AttrName:"b" LiteralValue:""c>d="" TagClose:">")"}},
      {"<></>",
       {R"(M Limitation:"empty start tag not supported" Data:"<>")",
        R"(M Limitation:"empty end tag not supported" Data:"</>")"}},
  });
}

TEST(HtmlLexerTest, DeclarationsCommentsAndInstructions) {
  ExpectCases({
      {"<!--/tab-->", {R"(D DeclOpen:"<!" Comment:"--/tab--" TagClose:">")"}},
      {"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">",
       {R"(D DeclOpen:"<!doctype" NameToken:"html" NameToken:"public" )"
        R"(LiteralValue:""-//W3C//DTD HTML 3.2 Final//EN"" TagClose:">")"}},
      {"<!DOCTYPE x [ <!ENTITY a \"b\"> ]>q",
       {R"(M Limitation:"declaration subset not supported" Data:"[")",
        R"(D DeclOpen:"<!doctype" NameToken:"x")",
        R"(M Limitation:"declaration subset: skipping" Data:" <!ENTITY a "b"> ")",
        R"(D TagClose:">")", R"(C Data:"q")"}},
      {"<![CDATA[x]]>z",
       {R"(M Limitation:"marked sections not supported" Data:"<![")",
        R"(M Limitation:"declaration subset: skipping" Data:"CDATA[x")", R"(C Data:"z")"}},
      {"<?xml version=\"1.0\"?>", {R"(D PI:"<?xml version="1.0"?>")"}},
      {"<!>", {R"(D DeclOpen:"<!>")"}},
      {"<!-- a -- b -->",
       {R"(M Error:"illegal character in markup declaration" Data:"b")",
        R"(M Error:"illegal character in markup declaration" Data:" ")",
        R"(M Error:"illegal character in markup declaration" Data:"-")",
        R"(M Error:"illegal character in markup declaration" Data:"-")",
        R"(D DeclOpen:"<!" Comment:"-- a --" TagClose:">")"}},
      {"<!ENTITY %foo; 12 'v'>",
       {R"(M Limitation:"parameter entity reference not supported" Data:"%foo; ")",
        R"(D DeclOpen:"<!entity" Number:"12" LiteralValue:"'v'" TagClose:">")"}},
  });
}

TEST(HtmlLexerTest, DataAndLoneMarkupCharacters) {
  ExpectCases({
      {"a < b", {R"(C Data:"a < b")"}},
      {"a<3", {R"(C Data:"a")", R"(C Data:"<")", R"(C Data:"3")"}},
      {"a && b", {R"(C Data:"a ")", R"(C Data:"&")", R"(C Data:"& b")"}},
      {"]]><p>",
       {R"(M Error:"unmatched marked sections end" Data:"]]>")",
        R"(C StartTagOpen:"<p" TagClose:">")"}},
      {"a]]>b", {R"(C Data:"a]]>b")"}},
      {"]]>b", {R"(C Data:"]]>b")"}},
      // Script content is markup like any other: "<b" opens a tag that the "<" of the end
      // tag cuts short.
      {"<script>if (a<b) x</script>",
       {R"(C StartTagOpen:"<script" TagClose:">")", R"(C Data:"if (a")",
        R"x(M Error:"bad character in tag" Data:")")x",
        R"(M Error:"bad character in tag" Data:" ")",
        R"(M Limitation:"Unclosed tags not supported" Data:"<")",
        R"(C StartTagOpen:"<b" AttrName:null NameToken:"x")", R"(C Data:"/script>")"}},
  });
}

TEST(HtmlLexerTest, References) {
  ExpectCases({
      {"AT&T x", {R"(C Data:"AT")", R"(C EntityRef:"&T")", R"(C Data:" x")"}},
      {"&amp;x", {R"(C EntityRef:"&amp" ReferenceEnd:";")", R"(C Data:"x")"}},
      {"&amp\nx", {R"(C EntityRef:"&amp" ReferenceEnd:"\n")", R"(C Data:"x")"}},
      {"&#65;&#66", {R"(C CharRef:"&#65" ReferenceEnd:";")", R"(C CharRef:"&#66")"}},
      {"&#x41;y",
       {R"(M Limitation:"named character references are not supported" Data:"&#x41;")",
        R"(C Data:"y")"}},
      {"&#12a;", {R"(M Error:"bad character in character reference" Data:"&#12a;")"}},
  });
}

TEST(HtmlLexerTest, WithoutEndOfInputTheLastUnfinishedTokenWaits) {
  EXPECT_EQ(Lex("<p>x</html>\n", {}, false),
            (Events{R"(C StartTagOpen:"<p" TagClose:">")", R"(C Data:"x")",
                    R"(C EndTagOpen:"</html" TagClose:">")"}));
  EXPECT_EQ(Lex("<br/>x", {}, false), (Events{R"(M Limitation:"NET tags not supported" Data:"/")",
                                              R"(C StartTagOpen:"<br")"}));
  // An unclosed quote keeps the rest of the text pending.
  EXPECT_EQ(Lex("a<p title=\"x>b<i>c", {}, false), (Events{R"(C Data:"a")"}));
}

TEST(HtmlLexerTest, NormalizeOffCopiesTokensUnchanged) {
  Events events;
  HtmlLexer lexer;
  EXPECT_FALSE(lexer.SetNormalize(false));
  std::string text = "<TD Align = Left >";
  lexer.Feed(text.data(), static_cast<int>(text.size()), SinksFor(events));
  EXPECT_EQ(events, (Events{R"(C StartTagOpen:"<TD " AttrName:"Align = " NameValue:"Left " )"
                            R"(TagClose:">")"}));
}

TEST(HtmlLexerTest, UnclosedInstructionsAtEndOfInputStayLinear) {
  // Each "<?" looks for a '>' that never comes; the search is not repeated from every '<'.
  std::string text;
  for (int i = 0; i < 1000000; ++i) {
    text += "<?";
  }
  Events events = Lex(text);
  ASSERT_EQ(events.size(), 2000000u);
  EXPECT_EQ(events.front(), R"(C Data:"<")");
  EXPECT_EQ(events.back(), R"(C Data:"?")");
}

// The one-step readers of plain tags, attribute lists and character data must give what the
// rules give, also where their forms end and at the end of the text.
TEST(HtmlLexerTest, ShortcutsGiveTheRulesEventsOnRandomMarkup) {
  std::mt19937 random(20261207);
  const auto pick = [&random](const std::vector<std::string>& from) {
    return from[random() % from.size()];
  };
  // Tags near the usual form, with values that end where the rules may read further, and
  // pieces of other markup between them.
  const std::vector<std::string> names = {"tr", "td", "b", "a", "X", "h1", "a.b-c"};
  const std::vector<std::string> gaps = {" ", "  ", "\t", "\r\n", "\n", ""};
  const std::vector<std::string> values = {"right",  "1",      "a.b",    "'a'",     "\"b\"", "'a'b",
                                           "\"a\"b", "'a",     "\"a",    "#fff",    "100%",  "a'b",
                                           "'x=>'",  "\"x=\"", "'a\rb'", "a\rb",    "=",     ">",
                                           "",       "'>'",    "\"\"",   "\xE0\x40"};
  const std::vector<std::string> others = {"x",   "\r\n",     "</td>", "&amp;", "& ", "<",
                                           "]]>", "<!--c-->", "\x81<", "< b",   ">"};
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int parts = 1 + static_cast<int>(random() % 4);
    for (int part = 0; part < parts; ++part) {
      if (random() % 3 == 0) {
        text += pick(others);
        continue;
      }
      text += '<';
      text += pick(names);
      const int attributes = static_cast<int>(random() % 4);
      for (int k = 0; k < attributes; ++k) {
        for (const std::vector<std::string>* from : {&gaps, &names, &gaps}) {
          text += pick(*from);
        }
        text += '=';
        text += pick(gaps);
        text += pick(values);
      }
      text += pick(gaps);
      if (random() % 8 != 0) {
        text += ">";
      }
    }
    const bool end = random() % 2 == 0;
    ASSERT_EQ(Lex(text, {}, end), Lex(text, {}, end, false))
        << ::testing::PrintToString(text) << (end ? " with" : " without") << " end of input";
  }
}

// Chunked feeding: wherever the text is cut, the events equal those of a single feed. Each
// input gathers the constructs whose boundary its name gives; every cut of it is tried.
struct SplitCase {
  const char* name;
  const char* input;
};

void PrintTo(const SplitCase& c, std::ostream* out) {
  *out << c.name;
}

class HtmlLexerSplitTest : public testing::TestWithParam<SplitCase> {};

TEST_P(HtmlLexerSplitTest, EveryCutGivesTheEventsOfOneFeed) {
  const std::string input = GetParam().input;
  const Events whole = Lex(input);
  const Events wholeWithoutEnd = Lex(input, {}, false);
  ASSERT_FALSE(whole.empty());
  std::vector<std::size_t> everyByte;
  for (std::size_t cut = 1; cut < input.size(); ++cut) {
    EXPECT_EQ(Lex(input, {cut}), whole) << "cut after " << input.substr(0, cut);
    EXPECT_EQ(Lex(input, {cut}, false), wholeWithoutEnd) << "cut after " << input.substr(0, cut);
    everyByte.push_back(cut);
  }
  EXPECT_EQ(Lex(input, everyByte), whole) << "one byte per chunk";
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, HtmlLexerSplitTest,
    testing::Values(
        SplitCase{"SplitInsideTagNameAndValue", "<TD ALIGN=Right>x<td nowrap></TD><B>"},
        SplitCase{"SplitInsideQuotedValue", "<a href=\"x.html\" title='t'>"},
        SplitCase{"SplitInsideAttributeList", "<tr align=right bgcolor=\"#ffffff\">\r\n<td>1</td>"},
        SplitCase{"SplitInsideUnquotedValue", "<td width=100% bgcolor=#ffffff>"},
        SplitCase{"SplitBetweenCrAndLf", "<td\r\nalign=left\r\n>a\r\nb&amp\r\n</td\r\n>"},
        SplitCase{"SplitInsideNetTag", "<br/>x<img src=\"x\"/>"},
        SplitCase{"SplitBeforeValueClose", "<td width=><p <b></td x>"},
        SplitCase{"SplitInsideOpenQuote", "<a b=\"c>d=\">e"},
        SplitCase{"SplitInsideComment", "<!--/tab-->q<!-- a -- b -->"},
        SplitCase{"SplitInsideDoctype", "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">"},
        SplitCase{"SplitInsideDeclarationSubset", "<!DOCTYPE x [ <!ENTITY a \"b\"> ]>q"},
        SplitCase{"SplitInsideMarkedSection", "<![CDATA[x]]>z"},
        SplitCase{"SplitInsideProcessingInstruction", "<?xml version=\"1.0\"?>z"},
        SplitCase{"SplitInsideLessThanRuns", "a < b a<3 <<<x"},
        SplitCase{"SplitInsideReference", "AT&T x&amp;x&#65;y&#x41;y&#12a;&&&"},
        SplitCase{"SplitAroundMarkedSectionEnd", "]]><p>a]]>b]]>"},
        SplitCase{"SplitInsideScript", "<script>if (a<b && c) x</script>"},
        SplitCase{"SplitInsideEmptyMarkup", "<></><!>z"},
        SplitCase{"SplitInsideUnclosedQuote", "<a href=\"x>y"},
        SplitCase{"SplitInsideDoubleByteText", "<td>2007\xe5\xb9\xb4 1\xe6\x9c\x88</td>"}),
    [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelmo
