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

// The first raw occurrence of `pattern` in text[from, size), or kNotFound.
std::size_t FindBytes(std::string_view text, std::string_view pattern, std::size_t from) {
  // memmem is far quicker than a loop of our own on page text, where the pattern's first and
  // last bytes, '<' and '>', are everywhere.
  const void* hit =
      ::memmem(text.data() + from, text.size() - from, pattern.data(), pattern.size());
  return hit == nullptr ? kNotFound
                        : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
}

}  // namespace

// Raw occurrences are found first; only they need the character walk to tell whether they
// begin a character.
std::size_t SjisFind(std::string_view text, std::string_view pattern, std::size_t from) {
  if (pattern.empty() || from > text.size() || pattern.size() > text.size()) {
    return kNotFound;
  }
  std::size_t pos = from;
  for (;;) {
    const std::size_t candidate = FindBytes(text, pattern, pos);
    if (candidate == kNotFound) {
      return kNotFound;
    }
    // As in RemoveAllMatches below: after a byte that cannot lead, a character starts.
    if (candidate == pos || !IsSjisLeadByte(static_cast<unsigned char>(text[candidate - 1]))) {
      return candidate;
    }
    // Lands on the candidate, or just past it when the candidate is a second byte.
    pos = WalkToward(text.data(), pos, candidate);
    if (pos == candidate) {
      return pos;
    }
  }
}

// The output is built as a stack. It never holds a match on a character start, so after each
// byte is pushed the only candidate is the match that ends with that byte. Popping a match
// leaves a prefix of the earlier output, so character starts found in it stay valid.
//
// Text pushed since the last pop equals the output's tail, so matches that lie wholly in it
// are raw occurrences in the text, found by FindBytes. Only the pattern's length less one
// bytes after a pop can end a match that began before the cut; those bytes are checked one
// candidate at a time. A match behind a lead byte needs a walk over character starts: a
// cursor walks the output once and leaves marks behind it at short intervals; a joined match
// can begin behind the cursor, and is then settled by a short walk from the nearest mark,
// which keeps the whole pass linear.
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
  std::size_t searchFrom = 0;            // raw occurrences before this are settled
  std::size_t joinEnd = 0;               // bytes before this may end a joined match

  // Whether the match that ends the output begins on a character start.
  const auto tailStartsChar = [&](std::size_t at) {
    // A byte that cannot lead ends a character wherever it stands, so the byte after it
    // starts one: in ASCII text the walk is never needed.
    if (at == 0 || !IsSjisLeadByte(static_cast<unsigned char>(out[at - 1]))) {
      return true;
    }
    if (at < cursor) {
      const std::size_t mark = *(std::upper_bound(marks.begin(), marks.end(), at) - 1);
      return WalkToward(out.data(), mark, at) == at;
    }
    while (cursor < at) {
      cursor = WalkToward(out.data(), cursor, std::min(at, marks.back() + kMarkGap));
      if (cursor - marks.back() >= kMarkGap) {
        marks.push_back(cursor);
      }
    }
    return cursor == at;
  };
  const auto pop = [&](std::size_t at) {
    out.resize(at);
    cursor = std::min(cursor, at);
    while (marks.back() > at) {
      marks.pop_back();
    }
    searchFrom = next;
    joinEnd = next + length - 1;
  };

  while (next < text.size()) {
    if (next < joinEnd) {
      const std::size_t end = std::min(joinEnd, text.size());
      const void* hit = std::memchr(text.data() + next, pattern.back(), end - next);
      const std::size_t stop =
          hit == nullptr
              ? end
              : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) + 1;
      out.append(text.data() + next, stop - next);
      next = stop;
      if (hit != nullptr && out.size() >= length) {
        const std::size_t at = out.size() - length;
        if (std::memcmp(out.data() + at, pattern.data(), length) == 0 && tailStartsChar(at)) {
          pop(at);
        }
      }
      continue;
    }
    const std::size_t found = FindBytes(text, pattern, searchFrom);
    if (found == kNotFound) {
      out.append(text.data() + next, text.size() - next);
      break;
    }
    out.append(text.data() + next, found + length - next);
    next = found + length;
    if (tailStartsChar(out.size() - length)) {
      pop(out.size() - length);
    } else {
      searchFrom = found + 1;
    }
  }
  return out;
}

}  // namespace pelmo
