// Conversion of EUC-JP text to Shift_JIS.
//
// Quote pages arrive in EUC-JP; the rest of the program searches, compares and prints
// Shift_JIS, so page text is converted once, right after it is received. The conversion is
// strict and short-circuiting: it stops at the first byte sequence it does not accept and
// keeps what it converted up to there, which is enough for pages that are valid EUC-JP and
// never overruns on pages that are not.
//
// Accepted input, by lead byte b:
//   0x00            ends the text
//   0x01..0x7F      copied as is
//   0x8E c          half-width katakana, c in 0xA1..0xDF; written as the single byte c
//   0x8F c1 c2      a JIS X 0212 character, c1 and c2 in 0xA1..0xFE; Shift_JIS has no room
//                   for these, so each becomes the full-width space 0x81 0x40
//   0xA1..0xFE c    the JIS X 0208 character (b - 0x80, c - 0x80), c in 0xA1..0xFE, written
//                   as its Shift_JIS pair
//   anything else   (0x80..0x8D, 0x90..0xA0, 0xFF) rejected
// The output is never longer than the input.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelmo {

struct EucJpConversion {
  std::size_t written = 0;   // bytes written to the destination, terminating zero excluded
  std::size_t consumed = 0;  // source bytes converted; the rejected sequence, if any, starts here
  bool complete = false;     // the source was converted up to its end or its first zero byte
};

// Converts `source` up to its end or its first zero byte into `destination`, which has room
// for `capacity` bytes, and terminates the output with a zero byte when capacity > 0. At most
// capacity - 1 converted bytes are written; a character that does not fit ends the
// conversion as a rejected one does (complete is false). capacity = source.size() + 1
// always suffices.
EucJpConversion ConvertEucJpToShiftJis(std::string_view source, char* destination,
                                       std::size_t capacity);

// Same as above into a new string, which holds the converted bytes without the terminator.
std::string ConvertEucJpToShiftJis(std::string_view source);

}  // namespace pelmo
