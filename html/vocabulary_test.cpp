#include "html/vocabulary.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "html/vocabulary_tables.h"

namespace pelmo {
namespace {

// The vocabulary as written down for the project, in code order; the tables must agree.
constexpr const char* kElementList =
    "a address applet area b base basefont big blockquote body br caption center cite code dd "
    "dfn dir div dl dt em font form h1 h2 h3 h4 h5 h6 head hr html i img input isindex kbd li "
    "link listing map menu meta ol option p param plaintext pre samp script select small strike "
    "strong style sub sup table td textarea th title tr tt u ul var xmp";
constexpr const char* kElementsWithoutEndTag =
    "area base basefont body br dd dt head hr html img input isindex li link meta option p "
    "param plaintext td th tr";
constexpr const char* kAttributeList =
    "action:s align:k alink:c alt:s background:s bgcolor:c border:n cellpadding:n "
    "cellspacing:n clear:k code:s codebase:s color:c colspan:n columns:n content:s coords:s "
    "dummy:k enctype:s height:n href:s hspace:n http-equiv:s id:n link:c maxlength:n method:k "
    "name:s prompt:s rel:s rev:s rows:n rowspan:n shape:k size:f src:s start:n text:c title:s "
    "type:t usemap:s valign:k value:v vlink:c vspace:n width:n";
constexpr const char* kKeywordList =
    "all aqua baseline black blue border bottom center checkbox checked circle compact default "
    "disc file fuchsia get gray green hidden image ismap left lime maroon middle multiple navy "
    "nohref none noshade nowrap olive password poly post purple radio rect red reset right "
    "selected silver square submit teal text top white yellow";
constexpr const char* kEntityList =
    "Aacute:193 Acirc:194 AElig:198 Agrave:192 Aring:197 Atilde:195 Auml:196 Ccedil:199 "
    "Eacute:201 Ecirc:202 Egrave:200 ETH:208 Euml:203 Iacute:205 Icirc:206 Igrave:204 "
    "Iuml:207 Ntilde:209 Oacute:211 Ocirc:212 Ograve:210 Oslash:216 Otilde:213 Ouml:214 "
    "THORN:222 Uacute:218 Ucirc:219 Ugrave:217 Uuml:220 Yacute:221 aacute:225 acirc:226 "
    "aelig:230 agrave:224 amp:38 aring:229 atilde:227 auml:228 ccedil:231 copy:169 eacute:233 "
    "ecirc:234 egrave:232 eth:240 euml:235 gt:62 iacute:237 icirc:238 igrave:236 iuml:239 "
    "lt:60 nbsp:160 ntilde:241 oacute:243 ocirc:244 ograve:242 oslash:248 otilde:245 ouml:246 "
    "quot:34 reg:174 szlig:223 thorn:254 uacute:250 ucirc:251 ugrave:249 uuml:252 yacute:253 "
    "yuml:255";

std::vector<std::string> Words(const char* list) {
  std::istringstream in(list);
  std::vector<std::string> words;
  for (std::string word; in >> word;) {
    words.push_back(word);
  }
  return words;
}

int Compare(std::string_view a, std::string_view b, bool foldCase) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    int x = static_cast<unsigned char>(a[i]);
    int y = static_cast<unsigned char>(b[i]);
    if (foldCase) {
      x = std::tolower(x);
      y = std::tolower(y);
    }
    if (x != y) {
      return x - y;
    }
  }
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

template <typename Table, typename NameOf>
void ExpectStrictlySorted(const Table& table, bool foldCase, NameOf nameOf) {
  for (std::size_t i = 1; i < table.size(); ++i) {
    EXPECT_LT(Compare(nameOf(table[i - 1]), nameOf(table[i]), foldCase), 0)
        << nameOf(table[i - 1]) << " before " << nameOf(table[i]);
  }
}

char RuleLetter(AttributeValueRule rule) {
  switch (rule) {
    case AttributeValueRule::String:
      return 's';
    case AttributeValueRule::Keyword:
      return 'k';
    case AttributeValueRule::Color:
      return 'c';
    case AttributeValueRule::NumberOrPercent:
      return 'n';
    case AttributeValueRule::FontSize:
      return 'f';
    case AttributeValueRule::KeywordOrString:
      return 't';
    case AttributeValueRule::ByElement:
      return 'v';
  }
  return '?';
}

TEST(HtmlVocabularyTest, TablesAreSortedAndMatchTheVocabulary) {
  ExpectStrictlySorted(kElements, true, [](const ElementEntry& e) { return e.name; });
  ExpectStrictlySorted(kAttributes, true, [](const AttributeEntry& e) { return e.name; });
  ExpectStrictlySorted(kKeywords, true, [](std::string_view e) { return e; });
  ExpectStrictlySorted(kEntities, false, [](const EntityEntry& e) { return e.name; });

  std::vector<std::string> elements = Words(kElementList);
  std::vector<std::string> withoutEnd = Words(kElementsWithoutEndTag);
  ASSERT_EQ(elements.size(), kElements.size());
  for (std::size_t code = 0; code < elements.size(); ++code) {
    EXPECT_EQ(kElements[code].name, elements[code]);
    bool optional =
        std::find(withoutEnd.begin(), withoutEnd.end(), elements[code]) != withoutEnd.end();
    EXPECT_EQ(EndTagRequired(static_cast<int>(code)), !optional) << elements[code];
    EXPECT_EQ(FindElement(elements[code]), static_cast<int>(code));
  }
  std::vector<std::string> attributes = Words(kAttributeList);
  ASSERT_EQ(attributes.size(), kAttributes.size());
  for (std::size_t code = 0; code < attributes.size(); ++code) {
    const AttributeEntry& entry = kAttributes[code];
    EXPECT_EQ(std::string(entry.name) + ':' + RuleLetter(entry.rule), attributes[code]);
    EXPECT_EQ(FindAttribute(entry.name), static_cast<int>(code));
  }
  std::vector<std::string> keywords = Words(kKeywordList);
  ASSERT_EQ(keywords.size(), kKeywords.size());
  for (std::size_t code = 0; code < keywords.size(); ++code) {
    EXPECT_EQ(kKeywords[code], keywords[code]);
    EXPECT_EQ(FindKeyword(keywords[code]), static_cast<int>(code));
  }
  std::vector<std::string> entities = Words(kEntityList);
  ASSERT_EQ(entities.size(), kEntities.size());
  for (const std::string& entity : entities) {
    std::size_t colon = entity.find(':');
    EXPECT_EQ(FindEntity(entity.substr(0, colon)), std::stoi(entity.substr(colon + 1))) << entity;
  }
}

TEST(HtmlVocabularyTest, Lookups) {
  EXPECT_EQ(FindElement("TD"), 60);
  EXPECT_EQ(FindElement("td"), 60);
  EXPECT_EQ(FindElement(""), -1);
  EXPECT_EQ(FindElement("h7"), -1);
  EXPECT_EQ(FindElement("tbody"), -1);
  EXPECT_EQ(FindElement("t"), -1);       // a prefix of entries
  EXPECT_EQ(FindElement("tablex"), -1);  // an entry followed by more
  // Same length, first, middle and last byte as an entry, which is where the hash looks.
  EXPECT_EQ(FindElement("txbye"), -1);
  EXPECT_EQ(FindElement("bzzzzqzzze"), -1);
  EXPECT_EQ(FindAttribute("czzzzpzzzzg"), -1);
  EXPECT_EQ(FindAttribute("HTTP-EQUIV"), 22);
  EXPECT_EQ(FindAttribute("widths"), -1);
  EXPECT_EQ(FindKeyword("Left"), 22);
  EXPECT_EQ(FindKeyword("100"), -1);
  EXPECT_EQ(FindKeyword("x1"), -1);
  EXPECT_EQ(FindKeyword(""), -1);
  EXPECT_EQ(FindEntity("AUML"), -1);  // entity names keep their case
  EXPECT_EQ(FindEntity("Auml"), 196);
  EXPECT_EQ(FindEntity("auml"), 228);
  EXPECT_FALSE(EndTagRequired(-1));
  EXPECT_FALSE(EndTagRequired(70));
  EXPECT_TRUE(EndTagRequired(59));
  EXPECT_FALSE(EndTagRequired(60));
}

TEST(HtmlVocabularyTest, DecodeReference) {
  EXPECT_EQ(DecodeReference("&amp"), 38);
  EXPECT_EQ(DecodeReference("&AMP"), 32);
  EXPECT_EQ(DecodeReference("&hellip"), 32);
  EXPECT_EQ(DecodeReference("&Aacute"), 193);
  EXPECT_EQ(DecodeReference("&aacute"), 225);
  EXPECT_EQ(DecodeReference("&#65"), 65);
  EXPECT_EQ(DecodeReference("&#99999999999"), 65535);  // saturated, then the low 16 bits
  EXPECT_EQ(DecodeReference("&#65536"), 0);
  EXPECT_EQ(DecodeReference("&#"), 0);
}

TEST(HtmlVocabularyTest, Numbers) {
  ParsedUnsigned big = ParseUnsigned("-4294967296x");
  EXPECT_EQ(big.value, 4294967295u);
  EXPECT_TRUE(big.negative);
  EXPECT_EQ(big.end, 0u);
  ParsedUnsigned max = ParseUnsigned("+4294967295x");
  EXPECT_EQ(max.value, 4294967295u);
  EXPECT_EQ(max.end, 11u);
  EXPECT_EQ(ParseUnsigned("12\xb2").end, 2u);  // high bytes are not digits

  auto number = [](std::string_view text) {
    AttributeNumber n = ParseAttributeNumber(text);
    return std::to_string(n.value) + (n.percent ? "%" : "");
  };
  EXPECT_EQ(number("50%"), "50%");
  EXPECT_EQ(number("-3"), "-3");
  EXPECT_EQ(number("+4"), "4");
  EXPECT_EQ(number("abc"), "0");
  EXPECT_EQ(number(" 5"), "0");
  EXPECT_EQ(number("%"), "0%");
  EXPECT_EQ(number("4294967295"), "-1");    // wraps to the signed range
  EXPECT_EQ(number("99999999999%"), "-1");  // saturated: the end is the start, not the '%'
}

TEST(HtmlVocabularyTest, Colors) {
  const std::uint32_t white = MakeColor(255, 255, 255);
  EXPECT_EQ(white, 0xFFFFFFFFu);
  EXPECT_EQ(ParseColor(FindKeyword("#ffffff"), "#ffffff"), white);
  EXPECT_EQ(ParseColor(FindKeyword("white"), "white"), white);
  EXPECT_EQ(ParseColor(-1, "#00ff00"), 255u + 255u * 65536u);
  EXPECT_EQ(ParseColor(-1, "#FF0000"), MakeColor(255, 0, 0));
  EXPECT_EQ(ParseColor(FindKeyword("Red"), "Red"), MakeColor(255, 0, 0));
  EXPECT_EQ(ParseColor(FindKeyword("teal"), "teal"), MakeColor(0, 128, 128));
  // Scanning starts at the first hexadecimal digit; letters past f keep their arithmetic.
  EXPECT_EQ(ParseColor(-1, "x#0a0b0c"), MakeColor(10, 11, 12));
  EXPECT_EQ(ParseColor(-1, "#0g0000"), MakeColor(16, 0, 0));
  // Short texts: the missing digits are 0, and nothing past the value is read.
  EXPECT_EQ(ParseColor(-1, std::string_view("#fff123", 4)), MakeColor(255, 15 * 16, 0));
  EXPECT_EQ(ParseColor(-1, "zz"), MakeColor(0, 0, 0));
}

TEST(HtmlVocabularyTest, AttributeInterpretation) {
  auto entry = [](int element, const char* name, std::string_view value) {
    HtmlAttribute a = InterpretAttribute(element, FindAttribute(name), value, FindKeyword(value));
    return std::to_string(a.attribute) + ":" + std::to_string(static_cast<int>(a.type)) + ":" +
           std::to_string(a.value) + ":" + a.text;
  };
  const int font = 22;
  EXPECT_EQ(entry(font, "size", "3"), "34:0:10:");
  EXPECT_EQ(entry(font, "size", "+1"), "34:0:1:");
  EXPECT_EQ(entry(font, "size", "-2"), "34:0:-2:");
  EXPECT_EQ(entry(34, "size", "3"), "34:0:3:");  // outside font the number is plain
  EXPECT_EQ(entry(60, "width", "50%"), "45:1:50:");
  EXPECT_EQ(entry(60, "align", "Right"), "1:4:41:");
  EXPECT_EQ(entry(60, "align", "sideways"), "1:4:-1:");
  EXPECT_EQ(entry(0, "href", "a.html"), "20:2:0:a.html");
  EXPECT_EQ(entry(35, "type", "RADIO"), "39:4:37:");
  EXPECT_EQ(entry(51, "type", "text/javascript"), "39:2:0:text/javascript");
  EXPECT_EQ(entry(35, "value", "OK"), "42:2:0:OK");
  EXPECT_EQ(entry(45, "value", "7"), "42:2:0:7");
  EXPECT_EQ(entry(38, "value", "3%"), "42:0:3:");  // a number, never a percent
  EXPECT_EQ(entry(46, "value", "x"), "-1:-1:0:");
  EXPECT_EQ(entry(60, "nowrap", "nowrap"), "-1:4:31:");
  EXPECT_EQ(entry(60, "", "nowrap"), "-1:4:31:");
  EXPECT_EQ(entry(60, "bgcolor", "#ff0000"),
            "5:3:" + std::to_string(static_cast<std::int32_t>(MakeColor(255, 0, 0))) + ":");
}

}  // namespace
}  // namespace pelmo
