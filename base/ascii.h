// Byte classification and case folding for ASCII text, independent of the process locale:
// page text is Shift_JIS, whose bytes of 0x80 and above must never fold or count as space.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelmo {

constexpr bool IsAsciiUpper(char c) {
  return c >= 'A' && c <= 'Z';
}

// A-Z to a-z; every other byte as it is.
constexpr char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// a-z to A-Z; every other byte as it is.
constexpr char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// What the C library's isspace accepts in the "C" locale: space, TAB, LF, VT, FF, CR.
constexpr bool IsCSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Case-insensitive comparison, as URL schemes and HTTP header names need: only A-Z fold.
constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) {
      return false;
    }
  }
  return true;
}

constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// Control bytes (below 0x20, and DEL) turned into spaces, so that text shown to a person
// or quoted in a message cannot drive a terminal.
inline void ControlBytesToSpaces(std::string& text) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      c = ' ';
    }
  }
}

}  // namespace pelmo
