// The four name tables of the HTML vocabulary. A name's code is its 0-based position. Each
// table is sorted in byte order, a shorter name before its extensions, and lookups bisect.
// Element, attribute and keyword names are written in lower case, so that this order is also
// their case-insensitive order; entity names keep their case and are matched exactly.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace pelmo {

struct ElementEntry {
  std::string_view name;
  bool endTagRequired;
};

// How an attribute's value text is turned into a typed entry.
enum class AttributeValueRule : std::uint8_t {
  String,
  Keyword,
  Color,
  NumberOrPercent,
  FontSize,         // a number; inside `font`, relative sizes are counted from 7
  KeywordOrString,  // a keyword when it is one, else the text
  ByElement,        // text, a number or ignored, depending on the element
};

struct AttributeEntry {
  std::string_view name;
  AttributeValueRule rule;
};

struct EntityEntry {
  std::string_view name;
  std::uint16_t code;  // ISO 8859-1 code point
};

inline constexpr std::array<ElementEntry, 70> kElements{{
    {"a", true},          {"address", true},  {"applet", true},    {"area", false},
    {"b", true},          {"base", false},    {"basefont", false}, {"big", true},
    {"blockquote", true}, {"body", false},    {"br", false},       {"caption", true},
    {"center", true},     {"cite", true},     {"code", true},      {"dd", false},
    {"dfn", true},        {"dir", true},      {"div", true},       {"dl", true},
    {"dt", false},        {"em", true},       {"font", true},      {"form", true},
    {"h1", true},         {"h2", true},       {"h3", true},        {"h4", true},
    {"h5", true},         {"h6", true},       {"head", false},     {"hr", false},
    {"html", false},      {"i", true},        {"img", false},      {"input", false},
    {"isindex", false},   {"kbd", true},      {"li", false},       {"link", false},
    {"listing", true},    {"map", true},      {"menu", true},      {"meta", false},
    {"ol", true},         {"option", false},  {"p", false},        {"param", false},
    {"plaintext", false}, {"pre", true},      {"samp", true},      {"script", true},
    {"select", true},     {"small", true},    {"strike", true},    {"strong", true},
    {"style", true},      {"sub", true},      {"sup", true},       {"table", true},
    {"td", false},        {"textarea", true}, {"th", false},       {"title", true},
    {"tr", false},        {"tt", true},       {"u", true},         {"ul", true},
    {"var", true},        {"xmp", true},
}};

inline constexpr std::array<AttributeEntry, 46> kAttributes{{
    {"action", AttributeValueRule::String},
    {"align", AttributeValueRule::Keyword},
    {"alink", AttributeValueRule::Color},
    {"alt", AttributeValueRule::String},
    {"background", AttributeValueRule::String},
    {"bgcolor", AttributeValueRule::Color},
    {"border", AttributeValueRule::NumberOrPercent},
    {"cellpadding", AttributeValueRule::NumberOrPercent},
    {"cellspacing", AttributeValueRule::NumberOrPercent},
    {"clear", AttributeValueRule::Keyword},
    {"code", AttributeValueRule::String},
    {"codebase", AttributeValueRule::String},
    {"color", AttributeValueRule::Color},
    {"colspan", AttributeValueRule::NumberOrPercent},
    {"columns", AttributeValueRule::NumberOrPercent},
    {"content", AttributeValueRule::String},
    {"coords", AttributeValueRule::String},
    {"dummy", AttributeValueRule::Keyword},
    {"enctype", AttributeValueRule::String},
    {"height", AttributeValueRule::NumberOrPercent},
    {"href", AttributeValueRule::String},
    {"hspace", AttributeValueRule::NumberOrPercent},
    {"http-equiv", AttributeValueRule::String},
    {"id", AttributeValueRule::NumberOrPercent},
    {"link", AttributeValueRule::Color},
    {"maxlength", AttributeValueRule::NumberOrPercent},
    {"method", AttributeValueRule::Keyword},
    {"name", AttributeValueRule::String},
    {"prompt", AttributeValueRule::String},
    {"rel", AttributeValueRule::String},
    {"rev", AttributeValueRule::String},
    {"rows", AttributeValueRule::NumberOrPercent},
    {"rowspan", AttributeValueRule::NumberOrPercent},
    {"shape", AttributeValueRule::Keyword},
    {"size", AttributeValueRule::FontSize},
    {"src", AttributeValueRule::String},
    {"start", AttributeValueRule::NumberOrPercent},
    {"text", AttributeValueRule::Color},
    {"title", AttributeValueRule::String},
    {"type", AttributeValueRule::KeywordOrString},
    {"usemap", AttributeValueRule::String},
    {"valign", AttributeValueRule::Keyword},
    {"value", AttributeValueRule::ByElement},
    {"vlink", AttributeValueRule::Color},
    {"vspace", AttributeValueRule::NumberOrPercent},
    {"width", AttributeValueRule::NumberOrPercent},
}};

inline constexpr std::array<std::string_view, 51> kKeywords{{
    "all",      "aqua",     "baseline", "black",   "blue",    "border", "bottom",  "center",
    "checkbox", "checked",  "circle",   "compact", "default", "disc",   "file",    "fuchsia",
    "get",      "gray",     "green",    "hidden",  "image",   "ismap",  "left",    "lime",
    "maroon",   "middle",   "multiple", "navy",    "nohref",  "none",   "noshade", "nowrap",
    "olive",    "password", "poly",     "post",    "purple",  "radio",  "rect",    "red",
    "reset",    "right",    "selected", "silver",  "square",  "submit", "teal",    "text",
    "top",      "white",    "yellow",
}};

inline constexpr std::array<EntityEntry, 69> kEntities{{
    {"AElig", 198},  {"Aacute", 193}, {"Acirc", 194},  {"Agrave", 192}, {"Aring", 197},
    {"Atilde", 195}, {"Auml", 196},   {"Ccedil", 199}, {"ETH", 208},    {"Eacute", 201},
    {"Ecirc", 202},  {"Egrave", 200}, {"Euml", 203},   {"Iacute", 205}, {"Icirc", 206},
    {"Igrave", 204}, {"Iuml", 207},   {"Ntilde", 209}, {"Oacute", 211}, {"Ocirc", 212},
    {"Ograve", 210}, {"Oslash", 216}, {"Otilde", 213}, {"Ouml", 214},   {"THORN", 222},
    {"Uacute", 218}, {"Ucirc", 219},  {"Ugrave", 217}, {"Uuml", 220},   {"Yacute", 221},
    {"aacute", 225}, {"acirc", 226},  {"aelig", 230},  {"agrave", 224}, {"amp", 38},
    {"aring", 229},  {"atilde", 227}, {"auml", 228},   {"ccedil", 231}, {"copy", 169},
    {"eacute", 233}, {"ecirc", 234},  {"egrave", 232}, {"eth", 240},    {"euml", 235},
    {"gt", 62},      {"iacute", 237}, {"icirc", 238},  {"igrave", 236}, {"iuml", 239},
    {"lt", 60},      {"nbsp", 160},   {"ntilde", 241}, {"oacute", 243}, {"ocirc", 244},
    {"ograve", 242}, {"oslash", 248}, {"otilde", 245}, {"ouml", 246},   {"quot", 34},
    {"reg", 174},    {"szlig", 223},  {"thorn", 254},  {"uacute", 250}, {"ucirc", 251},
    {"ugrave", 249}, {"uuml", 252},   {"yacute", 253}, {"yuml", 255},
}};

}  // namespace pelmo
