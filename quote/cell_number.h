// Numbers read from table cells, the way the C library reads them, but bounded to the cell.
//
// Both skip leading white space (C locale), take an optional sign and decimal digits, and
// stop at the first other byte; a text without digits gives 0. Nothing is read beyond the
// given bytes, and huge numbers are clamped rather than overflowing.
#pragma once

#include <limits>
#include <string_view>

namespace pelmo {

// Integer value, clamped to the range of int.
int IntegerValue(std::string_view text);

// Decimal value with an optional fraction and exponent ("-1.5e3"), correctly rounded;
// too large a magnitude gives an infinity. Hexadecimal, "inf" and "nan" are not numbers here.
double DecimalValue(std::string_view text);

// The float nearest to `value`, an infinity when it is beyond the float range. Inline: every
// value cell goes through it.
inline float NarrowToFloat(double value) {
  // Halfway between FLT_MAX and the next power of two: from here on, rounding gives infinity.
  constexpr double kOverflow = 0x1.ffffffp+127;
  if (value >= kOverflow) {
    return std::numeric_limits<float>::infinity();
  }
  if (value <= -kOverflow) {
    return -std::numeric_limits<float>::infinity();
  }
  return static_cast<float>(value);
}

}  // namespace pelmo
