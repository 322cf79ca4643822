// The fixed HTML vocabulary: element, attribute, keyword and entity names with their codes,
// the decoding of references, and the conversion of attribute values into numbers, colours
// and keywords. Everything here is a pure function of its arguments.
//
// A code is a name's 0-based position in its table (html/vocabulary_tables.h); -1 means that
// the name is not in the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "html/html_token.h"

namespace pelmo {

// Element codes the rest of the program names.
inline constexpr int kElementFont = 22;
inline constexpr int kElementInput = 35;
inline constexpr int kElementLi = 38;
inline constexpr int kElementOption = 45;
inline constexpr int kElementParam = 47;
inline constexpr int kElementPre = 49;
inline constexpr int kElementTable = 59;
inline constexpr int kElementTd = 60;
inline constexpr int kElementTh = 62;
inline constexpr int kElementTr = 64;

inline constexpr int kElementCount = 70;

// Case-insensitive lookups; -1 for an empty or unknown name.
int FindElement(std::string_view name);
int FindAttribute(std::string_view name);
// Also -1, without a search, when the text starts with an ASCII digit.
int FindKeyword(std::string_view text);
// Exact lookup of an entity name; returns its ISO 8859-1 code, or -1.
int FindEntity(std::string_view name);

// Whether the grammar must look for the element's end tag; false for codes outside the table.
bool EndTagRequired(int code);

// Decodes a reference as the lexer delivers it, without terminator: "&name" or "&#digits".
// Unknown names give 32 (a space); numbers keep their low 16 bits.
std::uint16_t DecodeReference(std::string_view reference);

struct ParsedUnsigned {
  std::uint32_t value = 0;
  bool negative = false;
  // Index of the first byte not consumed; 0 (before any sign) when the value saturated.
  std::size_t end = 0;
};

// An optional sign and decimal digits; saturates at 4294967295. Skips no whitespace.
ParsedUnsigned ParseUnsigned(std::string_view text);

struct AttributeNumber {
  std::int32_t value = 0;
  bool percent = false;  // the number is followed by '%'
};

AttributeNumber ParseAttributeNumber(std::string_view text);

// A colour as 255 + red * 256 + green * 65536 + blue * 16777216. `keyword` is FindKeyword of
// the same text; the sixteen colour names give their fixed colours, anything else is read as
// six hexadecimal digits from the first one. Digits missing at the end count as 0.
std::uint32_t ParseColor(int keyword, std::string_view text);

inline constexpr std::uint32_t MakeColor(std::uint32_t red, std::uint32_t green,
                                         std::uint32_t blue) {
  return 255u + red * 256u + green * 65536u + blue * 16777216u;
}

// Turns one attribute of a start tag into its typed entry. `attribute` is the attribute code
// (-1 for an unknown name or a value written without a name), `value` the value text without
// its enclosing quotes, `keyword` FindKeyword of that text, `element` the tag's element code.
HtmlAttribute InterpretAttribute(int element, int attribute, std::string_view value, int keyword);

}  // namespace pelmo
