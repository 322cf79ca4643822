#include "quote/cell_number.h"

#include <cstdlib>
#include <limits>
#include <string>

namespace pelmo {
namespace {

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
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    const std::size_t expDigits = SkipSign(text, end + 1);
    const std::size_t expEnd = SkipDigits(text, expDigits);
    if (expEnd > expDigits) {
      end = expEnd;
    }
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
