// The lexer's patterns: which rule matches at a position, and how long its match is.
//
// Conventions in this file: a match is measured from the probe's start; every mode has a rule
// for any single byte, so a non-empty input always matches. A pattern that is still viable
// when the available bytes run out marks the probe (`hitEnd`): more input could lengthen the
// match, so the caller must wait for it unless the input has ended.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "html/lexer.h"

namespace pelmo {

// The classes of bytes the rules are written in; a byte may be in several.
struct LexClass {
  static constexpr std::uint8_t kLetter = 1;
  static constexpr std::uint8_t kDigit = 2;
  static constexpr std::uint8_t kName = 4;       // letter, digit, '-' or '.'
  static constexpr std::uint8_t kSpace = 8;      // space, TAB, CR, LF
  static constexpr std::uint8_t kTerm = 16;      // ends a reference: ';' or LF
  static constexpr std::uint8_t kOther = 32;     // none of the above, no markup punctuation
  static constexpr std::uint8_t kNotValue = 64;  // ends an unquoted value: space, TAB, LF, '"', '>'
  static constexpr std::uint8_t kDataStop = 128;  // may begin markup or a reference: '<', '&'
};

constexpr std::array<std::uint8_t, 256> MakeLexClasses() {
  std::array<std::uint8_t, 256> table{};
  constexpr std::string_view kPunctuation = "!\"#$%&'()*+,-./:;<=>?[]";
  for (int c = 0; c < 256; ++c) {
    std::uint8_t flags = 0;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
      flags |= LexClass::kLetter | LexClass::kName;
    if (c >= '0' && c <= '9')
      flags |= LexClass::kDigit | LexClass::kName;
    if (c == '-' || c == '.')
      flags |= LexClass::kName;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
      flags |= LexClass::kSpace;
    if (c == ';' || c == '\n')
      flags |= LexClass::kTerm;
    if (flags == 0 && kPunctuation.find(static_cast<char>(c)) == std::string_view::npos) {
      flags |= LexClass::kOther;
    }
    if (c == ' ' || c == '\t' || c == '\n' || c == '"' || c == '>')
      flags |= LexClass::kNotValue;
    if (c == '<' || c == '&')
      flags |= LexClass::kDataStop;
    table[static_cast<std::size_t>(c)] = flags;
  }
  return table;
}

inline constexpr std::array<std::uint8_t, 256> kLexClasses = MakeLexClasses();

// Whether byte `c` is in any of `classes`.
constexpr bool InLexClass(char c, std::uint8_t classes) {
  return (kLexClasses[static_cast<unsigned char>(c)] & classes) != 0;
}

// Remembers the last forward search for each searched pattern, so that repeated searches from
// later positions (an unclosed quote retried at every byte) stay linear.
class LexSearchCache {
 public:
  explicit LexSearchCache(const char* end) : end_(end) {}
  // First position at or after `from` holding `c` ('"', '\'' or '>'), or end.
  const char* FindByte(const char* from, char c);
  // First position at or after `from` where "--" begins, or end.
  const char* FindDoubleDash(const char* from);
  const char* end() const { return end_; }

 private:
  struct Entry {
    const char* from = nullptr;
    const char* found = nullptr;
  };
  const char* end_;
  std::array<Entry, 4> entries_{};
};

class LexProbe {
 public:
  LexProbe(const char* start, LexSearchCache& cache)
      : start_(start), available_(cache.end() - start), cache_(cache) {}

  // The byte at offset `i`, or -1 when it is not available yet.
  int At(std::ptrdiff_t i) {
    if (i >= available_) {
      hitEnd_ = true;
      return -1;
    }
    return static_cast<unsigned char>(start_[i]);
  }
  // Offset of the next `c` at or after offset `from`, or -1 when none is available yet.
  std::ptrdiff_t Find(std::ptrdiff_t from, char c);
  std::ptrdiff_t FindDoubleDash(std::ptrdiff_t from);

  bool hitEnd() const { return hitEnd_; }
  const char* start() const { return start_; }
  std::ptrdiff_t available() const { return available_; }

 private:
  std::ptrdiff_t Found(const char* at);

  const char* start_;
  std::ptrdiff_t available_;
  LexSearchCache& cache_;
  bool hitEnd_ = false;
};

// Whether a '<' or '&' (`stop`) followed by `next` is character data all the same: a '&'
// that begins no reference, or a '<' that begins no markup.
bool BeginsDataUnit(char stop, char next);

struct LexRuleMatch {
  int rule = 0;
  int length = 0;
};

// The winning rule and its length in `mode` at the probe's start: longest match, the lower
// rule number on equal length. Rule numbers and their actions are listed in lexer.cpp.
LexRuleMatch MatchLexRule(HtmlLexMode mode, LexProbe& probe);

}  // namespace pelmo
