#include "quote/sjis_search.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/word_compare.h"
#include "quote/byte_mask.h"

namespace pelmo {
namespace {

// True when none of the eight bytes at `at` has its high bit set: eight single-byte
// characters, none of which pairs with the byte after it.
bool EightPlainAscii(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return (word & 0x8080808080808080u) == 0;
}

bool NoLeadByte(std::string_view text) {
  return std::none_of(text.begin(), text.end(),
                      [](char c) { return IsSjisLeadByte(static_cast<unsigned char>(c)); });
}

// Patterns are a few bytes long, and a loop costs less than a call to memcmp. Tags of four to
// eight bytes take two overlapping words.
bool SameBytes(const char* a, const char* b, std::size_t length) {
  if (length >= 4 && length <= 8) {
    return SameFourToEightBytes(a, b, length);
  }
  for (std::size_t i = 0; i < length; ++i) {
    if (a[i] != b[i]) {
      return false;
    }
  }
  return true;
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

// How common a byte is in page markup: 2 for the bytes of tags and line ends, 1 for
// lower-case letters and digits, 0 for the rest.
int MarkupFrequency(unsigned char byte) {
  switch (byte) {
    case '<':
    case '>':
    case '/':
    case ' ':
    case '"':
    case '=':
    case '\r':
    case '\n':
      return 2;
    default:
      return (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ? 1 : 0;
  }
}

// Raw occurrences of one pattern. A pattern with a byte that markup seldom holds, such as an
// upper-case tag, is found by memchr on that byte, which runs far faster than a loop of ours:
// a pass that finds nothing is one call. Other patterns occur too often for a call per
// candidate; they are looked for eight positions at a time, as a pair of bytes: the first
// and the least common of the rest, which leaves few candidates to compare in full.
// Fast path: BytePattern (docs/fast_paths.md).
class BytePattern {
 public:
  explicit BytePattern(std::string_view pattern) : pattern_(pattern) {
    for (std::size_t i = 1; i < pattern.size(); ++i) {
      // The later of equally rare bytes: in a tag name, the later letters vary more.
      if (MarkupFrequency(static_cast<unsigned char>(pattern[i])) <=
          MarkupFrequency(static_cast<unsigned char>(pattern[rare_]))) {
        rare_ = i;
      }
    }
    scanRare_ = MarkupFrequency(static_cast<unsigned char>(pattern[rare_])) == 0;
  }

  // The first occurrence in text[from, size), or kNotFound. The pattern is not empty.
  std::size_t Find(std::string_view text, std::size_t from) const {
    return scanRare_ ? FindByRareByte(text, from) : FindByPair(text, from);
  }

 private:
  std::size_t FindByRareByte(std::string_view text, std::size_t from) const {
    const std::size_t length = pattern_.size();
    const char* const data = text.data();
    for (std::size_t pos = from; pos + length <= text.size();) {
      // Candidates start in [pos, size - length], so their rare byte lies in this range.
      const void* hit =
          std::memchr(data + pos + rare_, pattern_[rare_], text.size() - length + 1 - pos);
      if (hit == nullptr) {
        return kNotFound;
      }
      const std::size_t candidate =
          static_cast<std::size_t>(static_cast<const char*>(hit) - data) - rare_;
      if (SameBytes(data + candidate, pattern_.data(), length)) {
        return candidate;
      }
      pos = candidate + 1;
    }
    return kNotFound;
  }

  std::size_t FindByPair(std::string_view text, std::size_t from) const {
    const std::size_t length = pattern_.size();
    const char* const data = text.data();
    std::size_t pos = from;
    for (; pos + rare_ + kBlockBytes <= text.size(); pos += kBlockBytes) {
      for (std::uint32_t marks =
               ByteMask(data + pos, pattern_[0]) & ByteMask(data + pos + rare_, pattern_[rare_]);
           marks != 0; marks = WithoutFirst(marks)) {
        const std::size_t candidate = pos + FirstMarked(marks);
        if (candidate + length <= text.size() &&
            SameBytes(data + candidate, pattern_.data(), length)) {
          return candidate;
        }
      }
    }
    for (; pos + length <= text.size(); ++pos) {
      if (SameBytes(data + pos, pattern_.data(), length)) {
        return pos;
      }
    }
    return kNotFound;
  }

  std::string_view pattern_;
  std::size_t rare_ = 0;  // index of the pattern's least common byte in markup
  bool scanRare_ = false;
};

}  // namespace

// Raw occurrences are found first; only they need the character walk to tell whether they
// begin a character.
std::size_t SjisFind(std::string_view text, std::string_view pattern, std::size_t from) {
  if (pattern.empty() || from > text.size() || pattern.size() > text.size()) {
    return kNotFound;
  }
  const BytePattern raw(pattern);
  std::size_t pos = from;
  for (;;) {
    const std::size_t candidate = raw.Find(text, pos);
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

namespace {

// The output is built as a stack. It never holds a match on a character start, so after each
// byte is pushed the only candidate is the match that ends with that byte. Popping a match
// leaves a prefix of the earlier output, so character starts found in it stay valid.
//
// Text pushed since the last pop equals the output's tail, so matches that lie wholly in it
// are raw occurrences in the text, found by BytePattern. Only the pattern's length less one
// bytes after a pop can end a match that began before the cut; those bytes are checked one
// candidate at a time. A match behind a lead byte needs a walk over character starts: a
// cursor walks the output once and leaves marks behind it at short intervals; a joined match
// can begin behind the cursor, and is then settled by a short walk from the nearest mark,
// which keeps the whole pass linear.
// Fast path: MatchRemover (docs/fast_paths.md).
class MatchRemover {
 public:
  MatchRemover(std::string_view text, std::string_view pattern)
      : text_(text), pattern_(pattern), raw_(pattern) {
    out_.reserve(text.size());
  }

  std::string Run() {
    while (next_ < text_.size()) {
      if (next_ < joinEnd_) {
        PushToJoinCandidate();
      } else if (!PushToRawMatch()) {
        break;
      }
      CheckInvariants();
    }
    return std::move(out_);
  }

 private:
  static constexpr std::size_t kMarkGap = 64;

  // After a pop, bytes up to `joinEnd_` may complete a match that began in the earlier output.
  void PushToJoinCandidate() {
    const std::size_t end = std::min(joinEnd_, text_.size());
    // A few bytes: a loop, not a call.
    const char* hit = std::find(text_.data() + next_, text_.data() + end, pattern_.back());
    if (hit == text_.data() + end) {
      // No joined match can end here; the raw search from `searchFrom_` covers these bytes.
      joinEnd_ = next_;
      return;
    }
    const std::size_t stop = static_cast<std::size_t>(hit - text_.data()) + 1;
    out_.append(text_.data() + next_, stop - next_);
    next_ = stop;
    const std::size_t length = pattern_.size();
    if (out_.size() >= length) {
      const std::size_t at = out_.size() - length;
      if (SameBytes(out_.data() + at, pattern_.data(), length) && StartsChar(at)) {
        Pop(at);
      }
    }
  }

  // Pushes up to and including the next raw occurrence, popping it when it begins a
  // character; false when there is none and the rest of the text has been pushed.
  bool PushToRawMatch() {
    const std::size_t found = raw_.Find(text_, searchFrom_);
    if (found == kNotFound) {
      out_.append(text_.data() + next_, text_.size() - next_);
      next_ = text_.size();
      return false;
    }
    const std::size_t length = pattern_.size();
    out_.append(text_.data() + next_, found + length - next_);
    next_ = found + length;
    if (StartsChar(out_.size() - length)) {
      Pop(out_.size() - length);
    } else {
      searchFrom_ = found + 1;
    }
    return true;
  }

  // The usual case, a match behind a byte that cannot lead, is settled without the call.
  bool StartsChar(std::size_t at) {
    return at == 0 || !IsSjisLeadByte(static_cast<unsigned char>(out_[at - 1])) ||
           TailStartsChar(at);
  }

  // Whether the match that ends the output at `at` begins on a character start.
  bool TailStartsChar(std::size_t at) {
    // A byte that cannot lead ends a character wherever it stands, so the byte after it
    // starts one: in ASCII text the walk is never needed.
    if (at == 0 || !IsSjisLeadByte(static_cast<unsigned char>(out_[at - 1]))) {
      return true;
    }
    // Behind a short run of lead bytes that follows such a byte, characters start at even
    // offsets into the run. Long runs are left to the walk, which keeps the pass linear.
    std::size_t run = at - 1;
    while (run > 0 && at - run < kMarkGap &&
           IsSjisLeadByte(static_cast<unsigned char>(out_[run - 1]))) {
      --run;
    }
    if (run == 0 || !IsSjisLeadByte(static_cast<unsigned char>(out_[run - 1]))) {
      return (at - run) % 2 == 0;
    }
    if (at < cursor_) {
      const auto after = std::upper_bound(marks_.begin(), marks_.end(), at);
      const std::size_t mark = after == marks_.begin() ? 0 : *(after - 1);
      return WalkToward(out_.data(), mark, at) == at;
    }
    while (cursor_ < at) {
      cursor_ = WalkToward(out_.data(), cursor_, std::min(at, LastMark() + kMarkGap));
      if (cursor_ - LastMark() >= kMarkGap) {
        marks_.push_back(cursor_);
      }
    }
    return cursor_ == at;
  }

  std::size_t LastMark() const { return marks_.empty() ? std::size_t{0} : marks_.back(); }

  // Deletes the match at `at`, the output's tail; the next bytes may join a new match.
  void Pop(std::size_t at) {
    out_.resize(at);
    cursor_ = std::min(cursor_, at);
    while (!marks_.empty() && marks_.back() > at) {
      marks_.pop_back();
    }
    searchFrom_ = next_;
    joinEnd_ = next_ + pattern_.size() - 1;
  }

  // What the pass relies on, checked in debug builds after every step.
  void CheckInvariants() const {
    assert(out_.size() <= next_ && next_ <= text_.size());
    assert(searchFrom_ <= next_);
    assert(cursor_ <= out_.size());
    assert(std::is_sorted(marks_.begin(), marks_.end()));
    assert(marks_.empty() || (marks_.front() > 0 && marks_.back() <= cursor_));
  }

  std::string_view text_;
  std::string_view pattern_;
  BytePattern raw_;
  std::string out_;
  std::size_t cursor_ = 0;  // a character start of the output
  // Character starts up to the cursor, ascending, after the implicit 0; most texts need none.
  std::vector<std::size_t> marks_;
  std::size_t next_ = 0;        // first byte of the text not yet pushed
  std::size_t searchFrom_ = 0;  // raw occurrences before this are settled
  std::size_t joinEnd_ = 0;     // bytes before this may end a joined match
};

}  // namespace

std::string RemoveAllMatches(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) {
    return std::string(text);
  }
  if (pattern.size() == 1 && NoLeadByte(text)) {
    // Every byte is a character and deleting one byte cannot join another: a plain filter.
    std::string out(text);
    out.erase(std::remove(out.begin(), out.end(), pattern[0]), out.end());
    return out;
  }
  std::string out = MatchRemover(text, pattern).Run();
  // The result holds no match on a character start.
  assert(SjisFind(out, pattern) == kNotFound);
  return out;
}

}  // namespace pelmo
