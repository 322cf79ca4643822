#include "quote/sjis_search.h"

namespace pelmo {

std::size_t SjisFind(std::string_view text, std::string_view pattern, std::size_t from) {
  if (pattern.empty() || from > text.size() || pattern.size() > text.size()) {
    return kNotFound;
  }
  const std::size_t last = text.size() - pattern.size();
  std::size_t pos = from;
  while (pos <= last) {
    if (text.compare(pos, pattern.size(), pattern) == 0) {
      return pos;
    }
    pos += IsSjisLeadByte(static_cast<unsigned char>(text[pos])) ? 2 : 1;
  }
  return kNotFound;
}

// The output is built as a stack. It never holds a match on a character start, so after each
// byte is pushed the only candidate is the match that ends with that byte; popping it leaves
// a prefix of the earlier output, which is why the character starts of the output are kept
// per byte rather than recomputed.
std::string RemoveAllMatches(std::string_view text, std::string_view pattern) {
  std::string out;
  // Most texts hold no match at all; they need no flags.
  if (SjisFind(text, pattern) == kNotFound) {
    out.assign(text);
    return out;
  }
  out.reserve(text.size());
  // One flag per output byte: 1 where a character starts.
  std::string startsChar;
  startsChar.reserve(text.size());
  const std::size_t length = pattern.size();
  for (const char byte : text) {
    // A byte starts a character unless the previous byte was a lead byte that started one.
    const bool start = out.empty() || startsChar.back() == 0 ||
                       !IsSjisLeadByte(static_cast<unsigned char>(out.back()));
    out.push_back(byte);
    startsChar.push_back(start ? 1 : 0);
    if (byte == pattern.back() && out.size() >= length) {
      const std::size_t at = out.size() - length;
      if (startsChar[at] != 0 && std::string_view(out).substr(at) == pattern) {
        out.resize(at);
        startsChar.resize(at);
      }
    }
  }
  return out;
}

}  // namespace pelmo
