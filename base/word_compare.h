// Comparison of short byte strings by whole words, for the names and tags that the page
// readers compare many times per page, where a call to memcmp costs more than the compare.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace pelmo {

// The four bytes at `at`, in machine order; only compared, never interpreted.
inline std::uint32_t LoadWord32(const char* at) {
  std::uint32_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// Whether the `length` bytes at `a` and `b` are equal, for a length of four to eight: two
// words that overlap in the middle cover every byte.
// Fast path: SameFourToEightBytes (docs/fast_paths.md).
inline bool SameFourToEightBytes(const char* a, const char* b, std::size_t length) {
  assert(length >= 4 && length <= 8);
  return LoadWord32(a) == LoadWord32(b) && LoadWord32(a + length - 4) == LoadWord32(b + length - 4);
}

}  // namespace pelmo
