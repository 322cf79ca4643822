#include "html/vocabulary.h"

#include <array>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <tuple>

#include "base/ascii.h"
#include "base/word_compare.h"
#include "html/vocabulary_tables.h"

namespace pelmo {
namespace {

// The longest name in any table; a longer key cannot be found.
constexpr std::size_t kMaxNameLength = 16;

// A name of up to 16 bytes as two big-endian integers, padded with zero bytes: comparing the
// integers compares the names in byte order, with the end of a name before any character.
struct PackedName {
  std::uint64_t high;
  std::uint64_t low;
};

constexpr PackedName Pack(std::string_view name, bool foldCase) {
  PackedName packed{0, 0};
  for (std::size_t i = 0; i < name.size() && i < kMaxNameLength; ++i) {
    const std::uint64_t byte = static_cast<unsigned char>(foldCase ? LowerAscii(name[i]) : name[i]);
    if (i < 8) {
      packed.high |= byte << (56 - 8 * i);
    } else {
      packed.low |= byte << (56 - 8 * (i - 8));
    }
  }
  return packed;
}

constexpr int Compare(const PackedName& a, const PackedName& b) {
  if (a.high != b.high) {
    return a.high < b.high ? -1 : 1;
  }
  if (a.low != b.low) {
    return a.low < b.low ? -1 : 1;
  }
  return 0;
}

template <typename Table, typename NameOf>
constexpr auto PackTable(const Table& table, NameOf nameOf) {
  std::array<PackedName, std::tuple_size_v<Table>> packed{};
  for (std::size_t i = 0; i < table.size(); ++i) {
    packed[i] = Pack(nameOf(table[i]), false);
  }
  return packed;
}

// The packed tables must be in strictly ascending order, fit in 16 bytes and, for the
// case-insensitive tables, hold lower-case names only; otherwise bisection would miss.
template <typename Table, typename NameOf>
constexpr bool PacksInOrder(const Table& table, NameOf nameOf, bool foldCase) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    std::string_view name = nameOf(table[i]);
    if (name.empty() || name.size() > kMaxNameLength) {
      return false;
    }
    if (foldCase && Compare(Pack(name, true), Pack(name, false)) != 0) {
      return false;
    }
    if (i > 0 && Compare(Pack(nameOf(table[i - 1]), false), Pack(name, false)) >= 0) {
      return false;
    }
  }
  return true;
}

constexpr auto kElementName = [](const ElementEntry& e) { return e.name; };
constexpr auto kAttributeName = [](const AttributeEntry& e) { return e.name; };
constexpr auto kKeywordName = [](std::string_view e) { return e; };
constexpr auto kEntityName = [](const EntityEntry& e) { return e.name; };

static_assert(PacksInOrder(kElements, kElementName, true));
static_assert(PacksInOrder(kAttributes, kAttributeName, true));
static_assert(PacksInOrder(kKeywords, kKeywordName, true));
static_assert(PacksInOrder(kEntities, kEntityName, false));

constexpr auto kPackedElements = PackTable(kElements, kElementName);
constexpr auto kPackedAttributes = PackTable(kAttributes, kAttributeName);
constexpr auto kPackedKeywords = PackTable(kKeywords, kKeywordName);
constexpr auto kPackedEntities = PackTable(kEntities, kEntityName);

// Where the names of each first byte lie in a sorted table, so that a search starts there.
struct IndexRange {
  std::uint8_t low;
  std::uint8_t high;
};
using FirstByteIndex = std::array<IndexRange, 256>;

template <std::size_t N>
constexpr FirstByteIndex MakeFirstByteIndex(const std::array<PackedName, N>& table) {
  FirstByteIndex index{};
  for (std::size_t c = 0; c < index.size(); ++c) {
    std::size_t below = 0;
    std::size_t through = 0;
    for (const PackedName& name : table) {
      std::size_t first = name.high >> 56;
      below += first < c ? 1 : 0;
      through += first <= c ? 1 : 0;
    }
    index[c] = {static_cast<std::uint8_t>(below), static_cast<std::uint8_t>(through)};
  }
  return index;
}

constexpr FirstByteIndex kElementIndex = MakeFirstByteIndex(kPackedElements);
constexpr FirstByteIndex kAttributeIndex = MakeFirstByteIndex(kPackedAttributes);
constexpr FirstByteIndex kKeywordIndex = MakeFirstByteIndex(kPackedKeywords);
constexpr FirstByteIndex kEntityIndex = MakeFirstByteIndex(kPackedEntities);

constexpr bool NotAfter(const PackedName& a, const PackedName& b) {
  return a.high < b.high || (a.high == b.high && a.low <= b.low);
}

// Bisection over a sorted table. The case-insensitive tables hold lower-case names, so the
// key is lowered once and every step compares two integers. The halving runs a fixed number
// of steps without an early exit, which keeps it free of unpredictable branches.
// Pack for a key at run time: one pass over the key's own bytes.
PackedName PackKey(std::string_view key, bool foldCase) {
  std::uint64_t halves[2] = {0, 0};
  for (std::size_t i = 0; i < key.size(); ++i) {
    unsigned byte = static_cast<unsigned char>(key[i]);
    if (foldCase && byte - 'A' < 26u) {
      byte += 32;
    }
    halves[i / 8] |= static_cast<std::uint64_t>(byte) << (56 - 8 * (i % 8));
  }
  return {halves[0], halves[1]};
}

template <std::size_t N>
int Bisect(const std::array<PackedName, N>& table, const FirstByteIndex& index,
           std::string_view key, bool foldCase) {
  if (key.empty() || key.size() > kMaxNameLength) {
    return -1;
  }
  const PackedName packed = PackKey(key, foldCase);
  const IndexRange range = index[packed.high >> 56];
  if (range.low == range.high) {
    return -1;
  }
  std::size_t base = range.low;
  for (std::size_t size = range.high - range.low; size > 1;) {
    std::size_t half = size / 2;
    base = NotAfter(table[base + half], packed) ? base + half : base;
    size -= half;
  }
  return Compare(table[base], packed) == 0 ? static_cast<int>(base) : -1;
}

// Lower-case keys, the ones the lexer delivers, are found by hashing instead: each
// case-insensitive table has a hash that gives every name of the table a slot of its own, so a
// lookup is one probe and one comparison. A key it lacks may still match in another case, so
// it goes on to the bisection.
constexpr std::size_t kHashBits = 10;
constexpr std::size_t kHashSlots = std::size_t{1} << kHashBits;

// Length, first, middle and last byte: this alone tells apart names of up to three bytes.
constexpr std::uint32_t NameMix(std::string_view name) {
  const auto byte = [](char c) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(c));
  };
  return static_cast<std::uint32_t>(name.size()) | byte(name.front()) << 8 |
         byte(name[name.size() / 2]) << 16 | byte(name.back()) << 24;
}

constexpr std::size_t HashMix(std::uint32_t mix, std::uint32_t multiplier) {
  return (mix * multiplier) >> (32 - kHashBits);
}

template <std::size_t N>
struct PerfectHash {
  std::uint32_t multiplier = 0;
  // Slot values are codes plus one; 0 marks an empty slot.
  std::array<std::uint8_t, kHashSlots> slots{};
  std::array<std::uint32_t, N> mixes{};  // NameMix of each code's name
};

// Tries multipliers until one leaves no two names in a slot; a multiplier of 0 means none did.
template <typename Table, typename NameOf>
constexpr auto MakePerfectHash(const Table& table, NameOf nameOf) {
  constexpr std::size_t kCount = std::tuple_size_v<Table>;
  static_assert(kCount < 255);
  std::uint32_t multiplier = 0x9E3779B1u;
  for (int attempt = 0; attempt < 200; ++attempt) {
    PerfectHash<kCount> hash;
    hash.multiplier = multiplier;
    bool clash = false;
    for (std::size_t i = 0; i < table.size() && !clash; ++i) {
      hash.mixes[i] = NameMix(nameOf(table[i]));
      std::uint8_t& slot = hash.slots[HashMix(hash.mixes[i], multiplier)];
      clash = slot != 0;
      slot = static_cast<std::uint8_t>(i + 1);
    }
    if (!clash) {
      return hash;
    }
    multiplier = multiplier * 1664525u + 1013904223u;
    multiplier |= 1u;
  }
  return PerfectHash<kCount>{};
}

constexpr auto kElementHash = MakePerfectHash(kElements, kElementName);
constexpr auto kAttributeHash = MakePerfectHash(kAttributes, kAttributeName);
constexpr auto kKeywordHash = MakePerfectHash(kKeywords, kKeywordName);
static_assert(kElementHash.multiplier != 0 && kAttributeHash.multiplier != 0 &&
              kKeywordHash.multiplier != 0);

// The bytes that the mix leaves out, for names of equal mix (so of equal length). Names are a
// few bytes long: two overlapping words cover four to eight, a loop the rest.
bool SameRest(std::string_view a, std::string_view b) {
  const std::size_t size = a.size();
  if (size <= 3) {
    return true;
  }
  if (size <= 8) {
    return SameFourToEightBytes(a.data(), b.data(), size);
  }
  for (std::size_t i = 0; i < size; ++i) {
    if (a[i] != b[i]) {
      return false;
    }
  }
  return true;
}

// The code of `key` when it is written exactly as in the table, else -1: one probe, and the
// mix settles names of up to three bytes without looking at the table's text.
template <typename Table, typename NameOf, std::size_t N>
int FindExact(const Table& table, NameOf nameOf, const PerfectHash<N>& hash, std::string_view key) {
  if (key.empty()) {
    return -1;
  }
  const std::uint32_t mix = NameMix(key);
  const std::uint8_t slot = hash.slots[HashMix(mix, hash.multiplier)];
  const std::size_t code = slot - 1u;
  if (slot == 0 || hash.mixes[code] != mix) {
    return -1;
  }
  return SameRest(nameOf(table[code]), key) ? static_cast<int>(code) : -1;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
  const char lower = LowerAscii(c);
  return IsDigit(c) || (lower >= 'a' && lower <= 'f');
}

// Letters beyond f are not rejected: they give their own arithmetic values, as pages with
// such colours have always been shown.
int HexValue(char c) {
  if (IsDigit(c)) {
    return c - '0';
  }
  return static_cast<unsigned char>(LowerAscii(c)) - 87;
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

// The exact-spelling probe is a shortcut for the case-blind search, which must agree with
// whatever the probe finds; debug builds check it on every hit.
// Fast path: FindElement (docs/fast_paths.md).
int FindElement(std::string_view name) {
  const int code = FindExact(kElements, kElementName, kElementHash, name);
  assert(code < 0 || code == Bisect(kPackedElements, kElementIndex, name, true));
  return code >= 0 ? code : Bisect(kPackedElements, kElementIndex, name, true);
}

// Fast path: FindAttribute (docs/fast_paths.md).
int FindAttribute(std::string_view name) {
  const int code = FindExact(kAttributes, kAttributeName, kAttributeHash, name);
  assert(code < 0 || code == Bisect(kPackedAttributes, kAttributeIndex, name, true));
  return code >= 0 ? code : Bisect(kPackedAttributes, kAttributeIndex, name, true);
}

// Fast path: FindKeyword (docs/fast_paths.md).
int FindKeyword(std::string_view text) {
  if (!text.empty() && IsDigit(text[0])) {
    return -1;
  }
  const int code = FindExact(kKeywords, kKeywordName, kKeywordHash, text);
  assert(code < 0 || code == Bisect(kPackedKeywords, kKeywordIndex, text, true));
  return code >= 0 ? code : Bisect(kPackedKeywords, kKeywordIndex, text, true);
}

int FindEntity(std::string_view name) {
  int index = Bisect(kPackedEntities, kEntityIndex, name, false);
  return index < 0 ? -1 : kEntities[static_cast<std::size_t>(index)].code;
}

bool EndTagRequired(int code) {
  if (code < 0 || code >= kElementCount) {
    return false;
  }
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
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
  }
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
    if (named.keyword == keyword) {
      return named.color;
    }
  }
  std::size_t first = 0;
  while (first < text.size() && !IsHexDigit(text[first])) {
    ++first;
  }
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
