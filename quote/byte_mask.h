// Sixteen bytes at a time: which bytes of a block equal a given byte, as a bit mask. Page
// text is searched for markup bytes that occur every few bytes, too often for a call to
// memchr per hit.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pelmo {

inline constexpr std::size_t kBlockBytes = 16;

// Bit i is set when at[i] equals `byte`. The byte-wise form, for machines without SSE2 and
// as the reference for the fast one.
inline std::uint32_t PortableByteMask(const char* at, char byte) {
  std::uint32_t mask = 0;
  for (std::size_t i = 0; i < kBlockBytes; ++i) {
    mask |= static_cast<std::uint32_t>(at[i] == byte) << i;
  }
  return mask;
}

// As PortableByteMask; `at` needs sixteen readable bytes and no alignment.
// Fast path: ByteMask (docs/fast_paths.md).
inline std::uint32_t ByteMask(const char* at, char byte) {
#if defined(__SSE2__)
  const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(byte))));
#else
  return PortableByteMask(at, byte);
#endif
}

// Offset of the lowest set bit of a non-zero mask, and the mask without it.
inline unsigned FirstMarked(std::uint32_t mask) {
  return static_cast<unsigned>(std::countr_zero(mask));
}
inline std::uint32_t WithoutFirst(std::uint32_t mask) {
  return mask & (mask - 1);
}

}  // namespace pelmo
