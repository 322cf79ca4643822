#include "quote/cell_number.h"

#include <cstdlib>
#include <limits>
#include <string>

namespace pelmo {
namespace {

constexpr std::size_t kExactDigits = 15;
constexpr double kPowersOfTen[kExactDigits + 1] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::size_t SkipSpace(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsSpace(text[pos])) {
    ++pos;
  }
  return pos;
}

std::size_t SkipSign(std::string_view text, std::size_t pos) {
  return pos < text.size() && (text[pos] == '+' || text[pos] == '-') ? pos + 1 : pos;
}

std::size_t SkipDigits(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsDigit(text[pos])) {
    ++pos;
  }
  return pos;
}

}  // namespace

int IntegerValue(std::string_view text) {
  std::size_t pos = SkipSpace(text, 0);
  const bool negative = pos < text.size() && text[pos] == '-';
  pos = SkipSign(text, pos);
  // Accumulate toward the sign so that INT_MIN is reachable; stop growing once clamped.
  constexpr long long kMax = std::numeric_limits<int>::max();
  constexpr long long kMin = std::numeric_limits<int>::min();
  long long value = 0;
  for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
    const int digit = text[pos] - '0';
    value = negative ? value * 10 - digit : value * 10 + digit;
    if (value > kMax || value < kMin) {
      return negative ? static_cast<int>(kMin) : static_cast<int>(kMax);
    }
  }
  return static_cast<int>(value);
}

double DecimalValue(std::string_view text) {
  const std::size_t begin = SkipSpace(text, 0);
  std::size_t pos = SkipSign(text, begin);
  const std::size_t intEnd = SkipDigits(text, pos);
  std::size_t end = intEnd;
  bool digits = intEnd > pos;
  if (end < text.size() && text[end] == '.') {
    const std::size_t fracEnd = SkipDigits(text, end + 1);
    digits = digits || fracEnd > end + 1;
    end = fracEnd;
  }
  if (!digits) {
    return 0.0;
  }
  const std::size_t fractionDigits = end > intEnd ? end - intEnd - 1 : 0;
  bool exponent = false;
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    const std::size_t expDigits = SkipSign(text, end + 1);
    const std::size_t expEnd = SkipDigits(text, expDigits);
    if (expEnd > expDigits) {
      end = expEnd;
      exponent = true;
    }
  }
  if (!exponent && (intEnd - pos) + fractionDigits <= kExactDigits) {
    // Cells are prices and volumes: few digits and no exponent. Up to 15 digits are an exact
    // integer in a double, and so is a power of ten up to 10^22; one division of the two is
    // then correctly rounded, the very double strtod gives, without its cost.
    long long mantissa = 0;
    for (std::size_t i = pos; i < end; ++i) {
      if (text[i] != '.') {
        mantissa = mantissa * 10 + (text[i] - '0');
      }
    }
    const double magnitude = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
    return text[begin] == '-' ? -magnitude : magnitude;
  }
  // strtod rounds correctly and in linear time; the copy holds only the accepted bytes, so it
  // can neither read past the cell nor take up a hexadecimal or "inf" form.
  const std::string number(text.substr(begin, end - begin));
  return std::strtod(number.c_str(), nullptr);
}

float NarrowToFloat(double value) {
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
