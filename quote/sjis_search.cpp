#include "quote/sjis_search.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace pelmo {
namespace {

// True when none of the eight bytes at `at` has its high bit set: eight single-byte
// characters, none of which pairs with the byte after it.
bool EightPlainAscii(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return (word & 0x8080808080808080u) == 0;
}

// From the character start `pos`, the first character start at or after `target`: `target`
// itself, or target + 1 when `target` is the second byte of a character. Page text is mostly
// ASCII, which is skipped a word at a time.
std::size_t WalkToward(const char* text, std::size_t pos, std::size_t target) {
  while (pos < target) {
    if (target - pos >= 8 && EightPlainAscii(text + pos)) {
      pos += 8;
    } else {
      pos += IsSjisLeadByte(static_cast<unsigned char>(text[pos])) ? 2 : 1;
    }
  }
  return pos;
}

}  // namespace

// Candidates come from memchr on the pattern's first byte; only they need the character
// walk to tell whether they begin a character.
std::size_t SjisFind(std::string_view text, std::string_view pattern, std::size_t from) {
  if (pattern.empty() || from > text.size() || pattern.size() > text.size()) {
    return kNotFound;
  }
  const char* const data = text.data();
  const std::size_t last = text.size() - pattern.size();
  const std::size_t rest = pattern.size() - 1;
  std::size_t pos = from;
  while (pos <= last) {
    const void* hit = std::memchr(data + pos, pattern.front(), last + 1 - pos);
    if (hit == nullptr) {
      return kNotFound;
    }
    const auto candidate = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
    pos = WalkToward(data, pos, candidate);
    if (pos == candidate) {
      if (std::memcmp(data + pos + 1, pattern.data() + 1, rest) == 0) {
        return pos;
      }
      pos += IsSjisLeadByte(static_cast<unsigned char>(data[pos])) ? 2 : 1;
    }
  }
  return kNotFound;
}

// The output is built as a stack. It never holds a match on a character start, so after each
// byte is pushed the only candidate is the match that ends with that byte, and only bytes
// equal to the pattern's last one can end a match: the bytes between them are copied as a
// run. Popping a match leaves a prefix of the earlier output, so character starts found in
// it stay valid. A cursor walks the output's character starts and leaves marks behind it at
// short intervals; a match that a removal joins can begin behind the cursor, and is then
// settled by a short walk from the nearest mark, which keeps the whole pass linear.
std::string RemoveAllMatches(std::string_view text, std::string_view pattern) {
  std::string out;
  if (pattern.empty()) {
    out.assign(text);
    return out;
  }
  constexpr std::size_t kMarkGap = 64;
  out.reserve(text.size());
  const std::size_t length = pattern.size();
  std::size_t cursor = 0;                // a character start of the output
  std::vector<std::size_t> marks = {0};  // character starts up to the cursor, ascending
  std::size_t next = 0;                  // first byte of the text not yet pushed
  while (next < text.size()) {
    const void* hit = std::memchr(text.data() + next, pattern.back(), text.size() - next);
    const std::size_t end =
        hit == nullptr ? text.size()
                       : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) + 1;
    out.append(text.data() + next, end - next);
    next = end;
    if (hit == nullptr || out.size() < length) {
      continue;
    }
    const std::size_t at = out.size() - length;
    if (std::memcmp(out.data() + at, pattern.data(), length) != 0) {
      continue;
    }
    bool startsChar;
    if (at >= cursor) {
      while (cursor < at) {
        cursor = WalkToward(out.data(), cursor, std::min(at, marks.back() + kMarkGap));
        if (cursor - marks.back() >= kMarkGap) {
          marks.push_back(cursor);
        }
      }
      startsChar = cursor == at;
    } else {
      const std::size_t mark = *(std::upper_bound(marks.begin(), marks.end(), at) - 1);
      startsChar = WalkToward(out.data(), mark, at) == at;
    }
    if (startsChar) {
      out.resize(at);
      cursor = at;
      while (marks.back() > at) {
        marks.pop_back();
      }
    }
  }
  return out;
}

}  // namespace pelmo
