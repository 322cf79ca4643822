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

#include "html/lexer.h"

namespace pelmo {

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
