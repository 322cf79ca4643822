// Literal search in Shift_JIS page text.
//
// Page text is searched one character at a time: a byte of 0x81-0x9F or 0xE0-0xFC starts
// a double-byte character and takes the next byte along, so a match never begins on the
// second byte of such a character. Every text search of the page reader goes through here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelmo {

inline constexpr std::size_t kNotFound = std::string_view::npos;

// True for a byte that starts a double-byte character.
constexpr bool IsSjisLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Position of the first match of `pattern` that begins on a character start at or after
// `from`, where `from` is taken to be a character start. kNotFound when there is none,
// when `from` lies beyond the text or when `pattern` is empty.
std::size_t SjisFind(std::string_view text, std::string_view pattern, std::size_t from = 0);

// The text that results from deleting the first match of `pattern` (searched as above, from
// the start) again and again until none is left. Deletions can join a new match, which is
// deleted too, and they can shift which bytes pair into characters; the result accounts for
// both, in one pass. An empty pattern leaves the text as it is.
std::string RemoveAllMatches(std::string_view text, std::string_view pattern);

}  // namespace pelmo
