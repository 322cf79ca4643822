#include "tools/quote_server/portable_math.h"

#include <cmath>

namespace pelmo::quote_server {

std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

std::uint64_t HashOf(std::string_view text) {
  std::uint64_t hash = 0xCBF29CE484222325ULL;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001B3ULL;
  }
  return hash;
}

namespace {

double ToUnit(std::uint64_t bits) {
  // The top 53 bits fill a double's mantissa exactly.
  return static_cast<double>(bits >> 11) * 0x1.0p-53;
}

}  // namespace

double Unit(std::uint64_t seed, std::uint64_t salt) {
  return ToUnit(Mix(seed ^ Mix(salt)));
}

double Noise(std::uint64_t seed, std::uint64_t salt, std::int64_t index) {
  const std::uint64_t key = Mix(seed ^ Mix(salt)) ^ static_cast<std::uint64_t>(index);
  return ToUnit(Mix(key)) * 2.0 - 1.0;
}

double PortableExp(double x) {
  constexpr double kLn2 = 0.6931471805599453;
  constexpr double kLog2e = 1.4426950408889634;
  const double k = std::floor(x * kLog2e + 0.5);
  const double r = x - k * kLn2;  // |r| <= ln 2 / 2
  // Taylor series; 14 terms leave an error far below a double's precision for |r| <= 0.35.
  double term = 1.0;
  double sum = 1.0;
  for (int n = 1; n <= 14; ++n) {
    term = term * r / n;
    sum += term;
  }
  return std::ldexp(sum, static_cast<int>(k));
}

}  // namespace pelmo::quote_server
