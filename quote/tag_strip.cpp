#include "quote/tag_strip.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "quote/byte_mask.h"
#include "quote/sjis_search.h"

namespace pelmo {
namespace {

// More tags, or longer ones, are left to the removal in turn.
constexpr std::size_t kMaxTags = 4;
constexpr std::size_t kMaxTagLength = 16;
// Candidates are collected for this many bytes at a time: a loop over the marks of a short
// window is cheap, but every window costs a mispredicted exit from it.
constexpr std::size_t kWindowBytes = 64;

bool IsPlainTag(std::string_view tag) {
  if (tag.size() < 2 || tag.size() > kMaxTagLength || tag.front() != '<' || tag.back() != '>') {
    return false;
  }
  return std::none_of(tag.begin() + 1, tag.end() - 1, [](char c) {
    return c == '<' || c == '>' || static_cast<unsigned char>(c) >= 0x80;
  });
}

// A tag compared as two masked words, without branches.
struct TagWords {
  std::uint64_t words[2] = {};
  std::uint64_t masks[2] = {};
  std::size_t length = 0;
};

TagWords MakeTagWords(std::string_view tag) {
  TagWords entry;
  char bytes[kMaxTagLength] = {};
  char ones[kMaxTagLength] = {};
  std::memcpy(bytes, tag.data(), tag.size());
  std::memset(ones, 0xFF, tag.size());
  std::memcpy(entry.words, bytes, sizeof entry.words);
  std::memcpy(entry.masks, ones, sizeof entry.masks);
  entry.length = tag.size();
  return entry;
}

// Whether a character begins at `at`. A byte that cannot lead ends a character, so behind the
// run of lead bytes before `at` one begins, and the run pairs up from there.
bool StartsCharacter(std::string_view text, std::size_t at) {
  std::size_t run = at;
  while (run > 0 && IsSjisLeadByte(static_cast<unsigned char>(text[run - 1]))) {
    --run;
  }
  return (at - run) % 2 == 0;
}

// Copies `count` bytes in blocks, which may write up to a block beyond `to + count`. Segments
// between tags are short, and a call to memcpy for each costs more than the copy.
void CopyInBlocks(char* to, const char* from, std::size_t count) {
  for (std::size_t done = 0; done < count; done += kBlockBytes) {
    std::memcpy(to + done, from + done, kBlockBytes);
  }
}

class TagCutter {
 public:
  TagCutter(std::string_view text, std::span<const std::string> tags) : text_(text) {
    assert(tags.size() <= kMaxTags);
    for (const std::string& tag : tags) {
      assert(IsPlainTag(tag));
      tags_[count_++] = MakeTagWords(tag);
      longest_ = std::max(longest_, tag.size());
      for (std::size_t i = 0; i + 1 < tag.size(); ++i) {
        endsBeginning_[static_cast<unsigned char>(tag[i])] = true;
      }
    }
    // Room for the last block copy to spill over.
    out_.resize(text.size() + kBlockBytes);
  }

  std::size_t longest() const { return longest_; }

  // Cuts out the tag at `at`, if one is there on a character start. False when the cut
  // leaves a tag's beginning open before it.
  bool Visit(std::size_t at) {
    // Candidates come in order, and none lies inside a cut tag: a tag holds '<' only first.
    assert(at >= copied_ && at < text_.size());
    const std::size_t length = MatchLength(at);
    assert(length == MatchLengthByCompare(at));
    if (length == 0 || (at > 0 && IsSjisLeadByte(static_cast<unsigned char>(text_[at - 1])) &&
                        !StartsCharacter(text_, at))) {
      return true;
    }
    Copy(at);
    copied_ = at + length;
    return written_ == 0 || !endsBeginning_[static_cast<unsigned char>(out_[written_ - 1])] ||
           !EndsOpen();
  }

  std::string Finish() {
    Copy(text_.size());
    assert(written_ <= text_.size());
    out_.resize(written_);
    return std::move(out_);
  }

 private:
  // Appends the text from `copied_` up to `end`.
  void Copy(std::size_t end) {
    assert(copied_ <= end && end <= text_.size());
    // The output is never longer than the text it came from, so the spare block at the end
    // of `out_` takes the spill of the last block copy.
    assert(written_ <= copied_);
    const std::size_t count = end - copied_;
    // The blocks read at most kBlockBytes - 1 bytes beyond `end`.
    if (end + kBlockBytes <= text_.size()) {
      CopyInBlocks(out_.data() + written_, text_.data() + copied_, count);
    } else {
      std::memcpy(out_.data() + written_, text_.data() + copied_, count);
    }
    written_ += count;
  }

  // The length of the tag at `at`, or 0. Tags never share a start but may repeat, so the
  // lengths of all that match can be merged without a branch.
  // Fast path: MatchLength (docs/fast_paths.md).
  std::size_t MatchLength(std::size_t at) const {
    if (text_.size() - at < kMaxTagLength) {
      return MatchLengthByCompare(at);
    }
    std::uint64_t words[2];
    std::memcpy(words, text_.data() + at, sizeof words);
    std::size_t length = 0;
    if (longest_ <= 8) {
      for (std::size_t i = 0; i < kMaxTags; ++i) {
        const TagWords& tag = tags_[i];
        length |= ((words[0] ^ tag.words[0]) & tag.masks[0]) == 0 ? tag.length : 0;
      }
      return length;
    }
    for (std::size_t i = 0; i < kMaxTags; ++i) {
      const TagWords& tag = tags_[i];
      const bool same = (((words[0] ^ tag.words[0]) & tag.masks[0]) |
                         ((words[1] ^ tag.words[1]) & tag.masks[1])) == 0;
      length |= same ? tag.length : 0;
    }
    return length;
  }

  // The same, one tag at a time: near the end of the text, where two words do not fit, and as
  // the reference for the merged words in debug builds.
  std::size_t MatchLengthByCompare(std::size_t at) const {
    for (std::size_t i = 0; i < count_; ++i) {
      const std::size_t length = tags_[i].length;
      if (length <= text_.size() - at &&
          std::memcmp(text_.data() + at, tags_[i].words, length) == 0) {
        return length;
      }
    }
    return 0;
  }

  // Whether the output ends with the beginning of a tag, short of the whole tag. Only a byte
  // that some tag holds before its '>' can end such a beginning; Visit looks at that first,
  // which settles most cuts at once.
  bool EndsOpen() const {
    const std::string_view out(out_.data(), written_);
    const std::size_t reach = std::min(written_, longest_ - 1);
    for (std::size_t k = 1; k <= reach; ++k) {
      if (out[written_ - k] != '<') {
        continue;
      }
      const std::string_view tail = out.substr(written_ - k);
      for (std::size_t i = 0; i < count_; ++i) {
        const std::string_view tag(reinterpret_cast<const char*>(tags_[i].words), tags_[i].length);
        if (tag.size() > k && tag.substr(0, k) == tail) {
          return true;
        }
      }
    }
    return false;
  }

  std::string_view text_;
  // Unused entries have length 0 and never match: an empty mask meets any word, and adds 0.
  std::array<TagWords, kMaxTags> tags_{};
  std::size_t count_ = 0;
  std::size_t longest_ = 0;
  bool endsBeginning_[256] = {};
  std::string out_;
  std::size_t written_ = 0;  // bytes of `out_` that hold the result so far
  std::size_t copied_ = 0;   // text before this is settled
};

// Candidates in the window of kWindowBytes at `pos`: '<' where a tag could begin and '>'
// where a tag of one of `lengths` would end, which leaves few besides the tags themselves.
std::uint64_t WindowMarks(const char* at, std::span<const std::size_t> lengths) {
  std::uint64_t marks = 0;
  for (std::size_t block = 0; block < kWindowBytes; block += kBlockBytes) {
    std::uint32_t closes = 0;
    for (const std::size_t length : lengths) {
      closes |= ByteMask(at + block + length - 1, '>');
    }
    marks |= static_cast<std::uint64_t>(closes & ByteMask(at + block, '<')) << block;
  }
  return marks;
}

}  // namespace

// Why one pass is enough. Each tag has '<' only at its start and '>' only at its end, so
// matches of the tags never overlap, and cutting one out leaves the others whole. A match
// is whole ASCII characters beginning on a character start, so cutting it out does not change
// how the bytes around it pair into characters. What remains is a new match that a cut joins
// together: it would have to begin, before the cut, with the beginning of a tag that holds no
// '>'. When no cut leaves such a beginning before it, in this output nor in any of the texts
// the removals in turn would pass through (whatever they have not yet removed ends in '>'),
// every removal in turn deletes exactly the matches the text had at the start.
// Fast path: RemoveTagsInOnePass (docs/fast_paths.md).
std::optional<std::string> RemoveTagsInOnePass(std::string_view text,
                                               std::span<const std::string> tags) {
  if (tags.empty() || tags.size() > kMaxTags ||
      !std::all_of(tags.begin(), tags.end(), IsPlainTag)) {
    return std::nullopt;
  }
  TagCutter cutter(text, tags);
  std::array<std::size_t, kMaxTags> lengths{};
  std::size_t lengthCount = 0;
  for (const std::string& tag : tags) {
    if (std::find(lengths.begin(), lengths.begin() + lengthCount, tag.size()) ==
        lengths.begin() + lengthCount) {
      lengths[lengthCount++] = tag.size();
    }
  }
  const std::span<const std::size_t> distinct(lengths.data(), lengthCount);
  std::size_t pos = 0;
  for (; pos + cutter.longest() - 1 + kWindowBytes <= text.size(); pos += kWindowBytes) {
    for (std::uint64_t marks = WindowMarks(text.data() + pos, distinct); marks != 0;
         marks &= marks - 1) {
      if (!cutter.Visit(pos + static_cast<std::size_t>(std::countr_zero(marks)))) {
        return std::nullopt;
      }
    }
  }
  // The last bytes one at a time; a tag has two bytes at least.
  for (; pos + 1 < text.size(); ++pos) {
    if (text[pos] == '<' && !cutter.Visit(pos)) {
      return std::nullopt;
    }
  }
  return cutter.Finish();
}

}  // namespace pelmo
