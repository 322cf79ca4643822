#include "quote/cell_number.h"

#include <cstdint>
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

// Fast path: DecimalValue (docs/fast_paths.md).
double DecimalValue(std::string_view text) {
  const std::size_t begin = SkipSpace(text, 0);
  const std::size_t pos = SkipSign(text, begin);
  // The digits are gathered as they are skipped; the sum may wrap, but it is used only for
  // few enough digits.
  std::uint64_t mantissa = 0;
  std::size_t end = pos;
  for (; end < text.size() && IsDigit(text[end]); ++end) {
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[end] - '0');
  }
  const std::size_t intDigits = end - pos;
  std::size_t fractionDigits = 0;
  if (end < text.size() && text[end] == '.') {
    const std::size_t fraction = ++end;
    for (; end < text.size() && IsDigit(text[end]); ++end) {
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[end] - '0');
    }
    fractionDigits = end - fraction;
  }
  if (intDigits == 0 && fractionDigits == 0) {
    return 0.0;
  }
  bool exponent = false;
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    const std::size_t expDigits = SkipSign(text, end + 1);
    const std::size_t expEnd = SkipDigits(text, expDigits);
    if (expEnd > expDigits) {
      end = expEnd;
      exponent = true;
    }
  }
  if (!exponent && intDigits + fractionDigits <= kExactDigits) {
    // Cells are prices and volumes: few digits and no exponent. Up to 15 digits are an exact
    // integer in a double, and so is a power of ten up to 10^22; one division of the two is
    // then correctly rounded, the very double strtod gives, without its cost.
    const double magnitude = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
    return text[begin] == '-' ? -magnitude : magnitude;
  }
  // strtod rounds correctly and in linear time; the copy holds only the accepted bytes, so it
  // can neither read past the cell nor take up a hexadecimal or "inf" form.
  const std::string number(text.substr(begin, end - begin));
  return std::strtod(number.c_str(), nullptr);
}

}  // namespace pelmo
