// Hashing and arithmetic that give the same bits on every machine, so that the synthetic
// history is the same wherever the server runs: only integer hashing and the basic
// floating-point operations (which are exactly rounded) are used, never the C library's
// exp().
#pragma once

#include <cstdint>
#include <string_view>

namespace pelmo::quote_server {

// A 64-bit mixing function: every input bit affects every output bit.
std::uint64_t Mix(std::uint64_t x);

// FNV-1a, 64 bits, of the bytes of `text`.
std::uint64_t HashOf(std::string_view text);

// A number in [-1, 1) drawn from (seed, salt, index); the same arguments give the same
// number.
double Noise(std::uint64_t seed, std::uint64_t salt, std::int64_t index);

// A number in [0, 1) drawn from (seed, salt).
double Unit(std::uint64_t seed, std::uint64_t salt);

// e to the power x, for |x| below about 700, built from exactly rounded operations.
double PortableExp(double x);

}  // namespace pelmo::quote_server
