// The content model of the HTML grammar as data: what each element may contain, in the
// order the alternatives are tried, and how its rule ends.
//
// Conventions in this file: an alternative is a text token, one element, a named group of
// alternatives, or (in `body` only) dropping a stray end tag. Groups nest. The interpreter
// in grammar.cpp flattens each content model into a set once, at compile time.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace pelmo::grammar {

// Element codes: positions in the vocabulary's element table.
// clang-format off
enum ElementCode : int {
    kA = 0, kAddress = 1, kApplet = 2, kArea = 3, kB = 4, kBase = 5, kBasefont = 6, kBig = 7,
    kBlockquote = 8, kBody = 9, kBr = 10, kCaption = 11, kCenter = 12, kCite = 13, kCode = 14,
    kDd = 15, kDfn = 16, kDir = 17, kDiv = 18, kDl = 19, kDt = 20, kEm = 21, kFont = 22,
    kForm = 23, kH1 = 24, kH2 = 25, kH3 = 26, kH4 = 27, kH5 = 28, kH6 = 29, kHead = 30,
    kHr = 31, kHtml = 32, kI = 33, kImg = 34, kInput = 35, kIsindex = 36, kKbd = 37, kLi = 38,
    kLink = 39, kListing = 40, kMap = 41, kMenu = 42, kMeta = 43, kOl = 44, kOption = 45,
    kP = 46, kParam = 47, kPlaintext = 48, kPre = 49, kSamp = 50, kScript = 51, kSelect = 52,
    kSmall = 53, kStrike = 54, kStrong = 55, kStyle = 56, kSub = 57, kSup = 58, kTable = 59,
    kTd = 60, kTextarea = 61, kTh = 62, kTitle = 63, kTr = 64, kTt = 65, kU = 66, kUl = 67,
    kVar = 68, kXmp = 69,
};
// clang-format on
inline constexpr int kElementCount = 70;

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
  Document,   // html, head and body: built by the document rules, never as content
  Empty,      // no children and no end tag handling
  TextOnly,   // at most one text child, then the end tag
  Container,  // repeated alternatives, then the end tag
};

struct ElementRule {
  RuleKind kind;
  Group content;
  int firstOnce = -1;  // an element tried once before the loop (table's caption), or -1
};

constexpr ElementRule Empty() {
  return {RuleKind::Empty, Group::None};
}
constexpr ElementRule TextOnly() {
  return {RuleKind::TextOnly, Group::None};
}
constexpr ElementRule Holds(Group content) {
  return {RuleKind::Container, content};
}
constexpr ElementRule Document(Group content) {
  return {RuleKind::Document, content};
}

// Indexed by element code.
inline constexpr std::array<ElementRule, kElementCount> kElementRules = {
    Holds(Group::Anchor),                           // a
    Holds(Group::Address),                          // address
    Holds(Group::Applet),                           // applet
    Empty(),                                        // area
    Holds(Group::TextLevel),                        // b
    Empty(),                                        // base
    Empty(),                                        // basefont
    Holds(Group::TextLevel),                        // big
    Holds(Group::Division),                         // blockquote
    Document(Group::Body),                          // body
    Empty(),                                        // br
    Holds(Group::TextLevel),                        // caption
    Holds(Group::Division),                         // center
    Holds(Group::TextLevel),                        // cite
    Holds(Group::TextLevel),                        // code
    Holds(Group::Flow),                             // dd
    Holds(Group::TextLevel),                        // dfn
    Holds(Group::List),                             // dir
    Holds(Group::Division),                         // div
    Holds(Group::DefinitionList),                   // dl
    Holds(Group::Flow),                             // dt
    Holds(Group::TextLevel),                        // em
    Holds(Group::TextLevel),                        // font
    Holds(Group::Division),                         // form
    Holds(Group::TextLevel),                        // h1
    Holds(Group::TextLevel),                        // h2
    Holds(Group::TextLevel),                        // h3
    Holds(Group::TextLevel),                        // h4
    Holds(Group::TextLevel),                        // h5
    Holds(Group::TextLevel),                        // h6
    Document(Group::Head),                          // head
    Empty(),                                        // hr
    Document(Group::None),                          // html
    Holds(Group::TextLevel),                        // i
    Empty(),                                        // img
    Empty(),                                        // input
    Empty(),                                        // isindex
    Holds(Group::TextLevel),                        // kbd
    Holds(Group::Flow),                             // li
    Empty(),                                        // link
    TextOnly(),                                     // listing
    Holds(Group::Map),                              // map
    Holds(Group::List),                             // menu
    Empty(),                                        // meta
    Holds(Group::List),                             // ol
    TextOnly(),                                     // option
    Holds(Group::TextLevel),                        // p
    Empty(),                                        // param
    TextOnly(),                                     // plaintext
    Holds(Group::Pre),                              // pre
    Holds(Group::TextLevel),                        // samp
    TextOnly(),                                     // script
    Holds(Group::Select),                           // select
    Holds(Group::TextLevel),                        // small
    Holds(Group::TextLevel),                        // strike
    Holds(Group::TextLevel),                        // strong
    TextOnly(),                                     // style
    Holds(Group::TextLevel),                        // sub
    Holds(Group::TextLevel),                        // sup
    {RuleKind::Container, Group::Table, kCaption},  // table
    Holds(Group::Division),                         // td
    TextOnly(),                                     // textarea
    Holds(Group::Division),                         // th
    TextOnly(),                                     // title
    Holds(Group::Row),                              // tr
    Holds(Group::TextLevel),                        // tt
    Holds(Group::TextLevel),                        // u
    Holds(Group::List),                             // ul
    Holds(Group::TextLevel),                        // var
    TextOnly(),                                     // xmp
};

// Whether an element's end tag must be searched for when its content ends. Kept here until
// the vocabulary carries the flag.
inline constexpr std::array<bool, kElementCount> kEndTagRequired = [] {
  std::array<bool, kElementCount> required{};
  required.fill(true);
  for (int code : {kArea,   kBase, kBasefont, kBody,      kBr,      kDd, kDt,   kHead,
                   kHr,     kHtml, kImg,      kInput,     kIsindex, kLi, kLink, kMeta,
                   kOption, kP,    kParam,    kPlaintext, kTd,      kTh, kTr}) {
    required[code] = false;
  }
  return required;
}();

}  // namespace pelmo::grammar
