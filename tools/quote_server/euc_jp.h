// UTF-8 to EUC-JP for the server's own texts.
//
// The pages are built in UTF-8 and served in EUC-JP. Only the characters the server
// writes are known, in a table of their own: ASCII passes through, a kanji or kana takes
// its two-byte code, a half-width katakana takes 0x8E and one byte.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pelmo::quote_server {

struct EucJpEntry {
  char32_t codePoint;
  std::uint16_t euc;  // two bytes, high first
};

// The known characters, sorted by code point.
std::span<const EucJpEntry> EucJpTable();

// The EUC-JP bytes of `utf8`, or nullopt when it holds a character outside the table or is
// not well-formed UTF-8.
std::optional<std::string> ToEucJp(std::string_view utf8);

}  // namespace pelmo::quote_server
