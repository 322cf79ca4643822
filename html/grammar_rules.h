// The content model of the HTML grammar as data: what each element may contain, in the
// order the alternatives are tried, and how its rule ends.
//
// Conventions in this file: an alternative is a text token, one element, a named group of
// alternatives, or (in `body` only) dropping a stray end tag. Groups nest. The interpreter
// in grammar.cpp flattens each content model into a set once, at compile time.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "html/vocabulary.h"
#include "html/vocabulary_tables.h"

namespace pelmo::grammar {

// The code of an element name, looked up in the vocabulary when compiling; a name that is
// not there does not compile.
consteval int Code(std::string_view name) {
  for (std::size_t i = 0; i < kElements.size(); ++i) {
    if (kElements[i].name == name) {
      return static_cast<int>(i);
    }
  }
  throw "not an element of the vocabulary";
}

// clang-format off
inline constexpr int kA = Code("a");
inline constexpr int kAddress = Code("address");
inline constexpr int kApplet = Code("applet");
inline constexpr int kArea = Code("area");
inline constexpr int kB = Code("b");
inline constexpr int kBase = Code("base");
inline constexpr int kBasefont = Code("basefont");
inline constexpr int kBig = Code("big");
inline constexpr int kBlockquote = Code("blockquote");
inline constexpr int kBody = Code("body");
inline constexpr int kBr = Code("br");
inline constexpr int kCaption = Code("caption");
inline constexpr int kCenter = Code("center");
inline constexpr int kCite = Code("cite");
inline constexpr int kCode = Code("code");
inline constexpr int kDd = Code("dd");
inline constexpr int kDfn = Code("dfn");
inline constexpr int kDir = Code("dir");
inline constexpr int kDiv = Code("div");
inline constexpr int kDl = Code("dl");
inline constexpr int kDt = Code("dt");
inline constexpr int kEm = Code("em");
inline constexpr int kFont = Code("font");
inline constexpr int kForm = Code("form");
inline constexpr int kH1 = Code("h1");
inline constexpr int kH2 = Code("h2");
inline constexpr int kH3 = Code("h3");
inline constexpr int kH4 = Code("h4");
inline constexpr int kH5 = Code("h5");
inline constexpr int kH6 = Code("h6");
inline constexpr int kHead = Code("head");
inline constexpr int kHr = Code("hr");
inline constexpr int kHtml = Code("html");
inline constexpr int kI = Code("i");
inline constexpr int kImg = Code("img");
inline constexpr int kInput = Code("input");
inline constexpr int kIsindex = Code("isindex");
inline constexpr int kKbd = Code("kbd");
inline constexpr int kLi = Code("li");
inline constexpr int kLink = Code("link");
inline constexpr int kListing = Code("listing");
inline constexpr int kMap = Code("map");
inline constexpr int kMenu = Code("menu");
inline constexpr int kMeta = Code("meta");
inline constexpr int kOl = Code("ol");
inline constexpr int kOption = Code("option");
inline constexpr int kP = Code("p");
inline constexpr int kParam = Code("param");
inline constexpr int kPlaintext = Code("plaintext");
inline constexpr int kPre = Code("pre");
inline constexpr int kSamp = Code("samp");
inline constexpr int kScript = Code("script");
inline constexpr int kSelect = Code("select");
inline constexpr int kSmall = Code("small");
inline constexpr int kStrike = Code("strike");
inline constexpr int kStrong = Code("strong");
inline constexpr int kStyle = Code("style");
inline constexpr int kSub = Code("sub");
inline constexpr int kSup = Code("sup");
inline constexpr int kTable = Code("table");
inline constexpr int kTd = Code("td");
inline constexpr int kTextarea = Code("textarea");
inline constexpr int kTh = Code("th");
inline constexpr int kTitle = Code("title");
inline constexpr int kTr = Code("tr");
inline constexpr int kTt = Code("tt");
inline constexpr int kU = Code("u");
inline constexpr int kUl = Code("ul");
inline constexpr int kVar = Code("var");
inline constexpr int kXmp = Code("xmp");
// clang-format on

enum class Group : std::uint8_t {
  FontStyle,
  Phrase,
  FormControl,
  TextLevel,
  Heading,
  Block,
  // Content models: the alternatives of one or more elements.
  Head,
  Body,
  Anchor,
  Applet,
  Map,
  Select,
  Address,
  Pre,
  List,
  Flow,
  DefinitionList,
  Division,
  Table,
  Row,
  None,
};
inline constexpr int kGroupCount = static_cast<int>(Group::None) + 1;

enum class AltKind : std::uint8_t { Text, Element, Group, DropEndTag };

struct Alt {
  AltKind kind;
  int value;  // element code or group number
};

constexpr Alt Text() {
  return {AltKind::Text, 0};
}
constexpr Alt El(int code) {
  return {AltKind::Element, code};
}
constexpr Alt In(Group group) {
  return {AltKind::Group, static_cast<int>(group)};
}
constexpr Alt DropEndTag() {
  return {AltKind::DropEndTag, 0};
}

// Each list in the order its members are tried.
inline constexpr Alt kFontStyle[] = {El(kTt),  El(kI),     El(kB),   El(kU),  El(kStrike),
                                     El(kBig), El(kSmall), El(kSub), El(kSup)};
inline constexpr Alt kPhrase[] = {El(kEm),   El(kStrong), El(kDfn), El(kCode),
                                  El(kSamp), El(kKbd),    El(kVar), El(kCite)};
inline constexpr Alt kFormControl[] = {El(kInput), El(kSelect), El(kTextarea)};
inline constexpr Alt kTextLevel[] = {
    Text(),   In(Group::FontStyle), In(Group::Phrase), In(Group::FormControl), El(kA),
    El(kImg), El(kApplet),          El(kFont),         El(kBasefont),          El(kBr),
    El(kMap)};
inline constexpr Alt kHeading[] = {El(kH1), El(kH2), El(kH3), El(kH4), El(kH5), El(kH6)};
inline constexpr Alt kBlock[] = {
    El(kP),          El(kUl),   El(kOl),      El(kDir), El(kMenu), El(kListing),
    El(kPlaintext),  El(kPre),  El(kXmp),     El(kDl),  El(kDiv),  El(kCenter),
    El(kBlockquote), El(kForm), El(kIsindex), El(kHr),  El(kTable)};
inline constexpr Alt kHeadContent[] = {El(kTitle), El(kIsindex), El(kBase), El(kScript),
                                       El(kStyle), El(kMeta),    El(kLink)};
inline constexpr Alt kBodyContent[] = {In(Group::TextLevel), El(kAddress), In(Group::Block),
                                       In(Group::Heading), DropEndTag()};
// The text-level item without `a`: anchors do not nest.
inline constexpr Alt kAnchorContent[] = {Text(),
                                         In(Group::FontStyle),
                                         In(Group::Phrase),
                                         In(Group::FormControl),
                                         El(kImg),
                                         El(kApplet),
                                         El(kFont),
                                         El(kBasefont),
                                         El(kBr),
                                         El(kMap)};
inline constexpr Alt kAppletContent[] = {In(Group::TextLevel), El(kParam)};
inline constexpr Alt kMapContent[] = {El(kArea)};
inline constexpr Alt kSelectContent[] = {El(kOption)};
inline constexpr Alt kAddressContent[] = {In(Group::TextLevel), El(kP)};
inline constexpr Alt kPreContent[] = {Text(),      El(kTt),           El(kI), El(kB), El(kU),
                                      El(kStrike), In(Group::Phrase), El(kA), El(kBr)};
inline constexpr Alt kListContent[] = {El(kLi)};
inline constexpr Alt kFlowContent[] = {In(Group::TextLevel), In(Group::Block)};
inline constexpr Alt kDefinitionListContent[] = {El(kDd), El(kDt)};
inline constexpr Alt kDivisionContent[] = {In(Group::TextLevel), El(kAddress), In(Group::Block),
                                           In(Group::Heading)};
// `caption` comes before the rows, once; see ElementRule::firstOnce.
inline constexpr Alt kTableContent[] = {El(kTr)};
inline constexpr Alt kRowContent[] = {El(kTd), El(kTh)};

// Indexed by Group.
inline constexpr std::array<std::span<const Alt>, kGroupCount> kGroups = {
    kFontStyle,
    kPhrase,
    kFormControl,
    kTextLevel,
    kHeading,
    kBlock,
    kHeadContent,
    kBodyContent,
    kAnchorContent,
    kAppletContent,
    kMapContent,
    kSelectContent,
    kAddressContent,
    kPreContent,
    kListContent,
    kFlowContent,
    kDefinitionListContent,
    kDivisionContent,
    kTableContent,
    kRowContent,
    std::span<const Alt>{},
};

enum class RuleKind : std::uint8_t {
  Missing,    // no rule: caught when compiling
  Document,   // html, head and body: built by the document rules, never as content
  Empty,      // no children and no end tag handling
  TextOnly,   // at most one text child, then the end tag
  Container,  // repeated alternatives, then the end tag
};

struct ElementRule {
  RuleKind kind = RuleKind::Missing;
  Group content = Group::None;
  int firstOnce = -1;  // an element tried once before the loop (table's caption), or -1
};

// Indexed by element code.
inline constexpr std::array<ElementRule, kElementCount> kElementRules = [] {
  std::array<ElementRule, kElementCount> rules{};
  const auto set = [&rules](std::initializer_list<int> codes, RuleKind kind, Group content) {
    for (int code : codes) {
      rules[code] = {kind, content};
    }
  };
  set({kHtml}, RuleKind::Document, Group::None);
  set({kHead}, RuleKind::Document, Group::Head);
  set({kBody}, RuleKind::Document, Group::Body);
  set({kTitle, kScript, kStyle, kTextarea, kListing, kXmp, kOption, kPlaintext}, RuleKind::TextOnly,
      Group::None);
  set({kIsindex, kBase, kMeta, kLink, kImg, kBasefont, kBr, kInput, kArea, kParam, kHr},
      RuleKind::Empty, Group::None);
  set({kTt,   kI,   kB,   kU,    kStrike, kBig,     kSmall, kSub, kSup, kEm, kStrong, kDfn, kCode,
       kSamp, kKbd, kVar, kCite, kFont,   kCaption, kH1,    kH2,  kH3,  kH4, kH5,     kH6,  kP},
      RuleKind::Container, Group::TextLevel);
  set({kA}, RuleKind::Container, Group::Anchor);
  set({kApplet}, RuleKind::Container, Group::Applet);
  set({kMap}, RuleKind::Container, Group::Map);
  set({kSelect}, RuleKind::Container, Group::Select);
  set({kAddress}, RuleKind::Container, Group::Address);
  set({kPre}, RuleKind::Container, Group::Pre);
  set({kUl, kOl, kDir, kMenu}, RuleKind::Container, Group::List);
  set({kLi, kDd, kDt}, RuleKind::Container, Group::Flow);
  set({kDl}, RuleKind::Container, Group::DefinitionList);
  set({kDiv, kCenter, kBlockquote, kForm, kTd, kTh}, RuleKind::Container, Group::Division);
  set({kTable}, RuleKind::Container, Group::Table);
  rules[kTable].firstOnce = kCaption;
  set({kTr}, RuleKind::Container, Group::Row);
  return rules;
}();

}  // namespace pelmo::grammar
