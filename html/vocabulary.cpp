#include "html/vocabulary.h"

#include "html/vocabulary_tables.h"

namespace pelmo {
namespace {

int LowerAscii(int c) {
  return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

// Compares until the characters differ or the entry ends; the difference decides, so a key
// that runs past the entry sorts after it and one that stops short sorts before it.
int CompareName(std::string_view entry, std::string_view key, bool foldCase) {
  for (std::size_t i = 0;; ++i) {
    int e = i < entry.size() ? static_cast<unsigned char>(entry[i]) : 0;
    int k = i < key.size() ? static_cast<unsigned char>(key[i]) : 0;
    if (foldCase) {
      e = LowerAscii(e);
      k = LowerAscii(k);
    }
    if (e != k || e == 0)
      return e - k;
  }
}

template <typename Table, typename NameOf>
int Bisect(const Table& table, std::string_view key, bool foldCase, NameOf nameOf) {
  if (key.empty())
    return -1;
  std::size_t low = 0;
  std::size_t high = table.size();
  while (low < high) {
    std::size_t middle = low + (high - low) / 2;
    int result = CompareName(nameOf(table[middle]), key, foldCase);
    if (result == 0)
      return static_cast<int>(middle);
    if (result < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return -1;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
  int lower = LowerAscii(static_cast<unsigned char>(c));
  return IsDigit(c) || (lower >= 'a' && lower <= 'f');
}

// Letters beyond f are not rejected: they give their own arithmetic values, as pages with
// such colours have always been shown.
int HexValue(char c) {
  if (IsDigit(c))
    return c - '0';
  return LowerAscii(static_cast<unsigned char>(c)) - 87;
}

struct NamedColor {
  int keyword;
  std::uint32_t color;
};

constexpr std::array<NamedColor, 16> kNamedColors{{
    {3, MakeColor(0, 0, 0)},         // black
    {43, MakeColor(192, 192, 192)},  // silver
    {17, MakeColor(128, 128, 128)},  // gray
    {49, MakeColor(255, 255, 255)},  // white
    {24, MakeColor(128, 0, 0)},      // maroon
    {39, MakeColor(255, 0, 0)},      // red
    {36, MakeColor(128, 0, 128)},    // purple
    {15, MakeColor(255, 0, 255)},    // fuchsia
    {18, MakeColor(0, 128, 0)},      // green
    {23, MakeColor(0, 255, 0)},      // lime
    {32, MakeColor(128, 128, 0)},    // olive
    {50, MakeColor(255, 255, 0)},    // yellow
    {27, MakeColor(0, 0, 128)},      // navy
    {4, MakeColor(0, 0, 255)},       // blue
    {46, MakeColor(0, 128, 128)},    // teal
    {1, MakeColor(0, 255, 255)},     // aqua
}};

}  // namespace

int FindElement(std::string_view name) {
  return Bisect(kElements, name, true, [](const ElementEntry& e) { return e.name; });
}

int FindAttribute(std::string_view name) {
  return Bisect(kAttributes, name, true, [](const AttributeEntry& e) { return e.name; });
}

int FindKeyword(std::string_view text) {
  if (!text.empty() && IsDigit(text[0]))
    return -1;
  return Bisect(kKeywords, text, true, [](std::string_view e) { return e; });
}

int FindEntity(std::string_view name) {
  int index = Bisect(kEntities, name, false, [](const EntityEntry& e) { return e.name; });
  return index < 0 ? -1 : kEntities[static_cast<std::size_t>(index)].code;
}

bool EndTagRequired(int code) {
  if (code < 0 || code >= kElementCount)
    return false;
  return kElements[static_cast<std::size_t>(code)].endTagRequired;
}

std::uint16_t DecodeReference(std::string_view reference) {
  if (reference.size() >= 2 && reference[1] == '#') {
    return static_cast<std::uint16_t>(ParseUnsigned(reference.substr(2)).value & 0xFFFFu);
  }
  int code = FindEntity(reference.empty() ? reference : reference.substr(1));
  return static_cast<std::uint16_t>(code < 0 ? 32 : code);
}

ParsedUnsigned ParseUnsigned(std::string_view text) {
  ParsedUnsigned result;
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') {
    result.negative = true;
    ++i;
  } else if (i < text.size() && text[i] == '+') {
    ++i;
  }
  // Double precision keeps the saturation test simple however many digits follow.
  double value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i)
    value = value * 10 + (text[i] - '0');
  if (value > 4294967295.0) {
    result.value = 4294967295u;
    result.end = 0;
  } else {
    result.value = static_cast<std::uint32_t>(value);
    result.end = i;
  }
  return result;
}

AttributeNumber ParseAttributeNumber(std::string_view text) {
  ParsedUnsigned parsed = ParseUnsigned(text);
  std::uint32_t value = parsed.negative ? 0u - parsed.value : parsed.value;
  return {static_cast<std::int32_t>(value), parsed.end < text.size() && text[parsed.end] == '%'};
}

std::uint32_t ParseColor(int keyword, std::string_view text) {
  for (const NamedColor& named : kNamedColors) {
    if (named.keyword == keyword)
      return named.color;
  }
  std::size_t first = 0;
  while (first < text.size() && !IsHexDigit(text[first]))
    ++first;
  auto digit = [&](std::size_t k) {
    std::size_t at = first + k;
    return at < text.size() ? HexValue(text[at]) : 0;
  };
  auto pair = [&](std::size_t k) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(digit(k) * 16 + digit(k + 1)));
  };
  return MakeColor(pair(0), pair(2), pair(4));
}

}  // namespace pelmo
