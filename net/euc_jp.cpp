#include "net/euc_jp.h"

#include <cstdint>
#include <cstring>

namespace pelmo {
namespace {

// True when none of the eight bytes of `word` is zero or has its high bit set, i.e. all
// eight are plain ASCII text that copies unchanged.
bool AllPlainAscii(std::uint64_t word) {
  constexpr std::uint64_t kLow = 0x0101010101010101u;
  constexpr std::uint64_t kHigh = 0x8080808080808080u;
  // (word - kLow) & ~word & kHigh is non-zero exactly when some byte is zero.
  return ((word | ((word - kLow) & ~word)) & kHigh) == 0;
}

bool IsEucTrail(unsigned char c) {
  return c >= 0xA1 && c <= 0xFE;
}

// Writes the Shift_JIS pair of the EUC-JP pair (b, c), both in 0xA1..0xFE.
void WriteJisPair(unsigned b, unsigned c, unsigned char* out) {
  const unsigned j1 = b - 0x80;
  const unsigned j2 = c - 0x80;
  out[0] = static_cast<unsigned char>(((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0));
  if (j1 & 1) {
    out[1] = static_cast<unsigned char>(j2 + (j2 <= 0x5F ? 0x1F : 0x20));
  } else {
    out[1] = static_cast<unsigned char>(j2 + 0x7E);
  }
}

// The conversion loop. With kChecked false the caller guarantees room for the whole input,
// which holds whenever capacity exceeds the source length, and the room checks drop out.
template <bool kChecked>
EucJpConversion Convert(const unsigned char* in, const unsigned char* end, unsigned char* out,
                        const unsigned char* outEnd) {
  const unsigned char* const inBegin = in;
  unsigned char* const outBegin = out;
  bool complete = true;
  while (in < end) {
    if constexpr (!kChecked) {
      // Fast path: AllPlainAscii (docs/fast_paths.md).
      // Page text is mostly markup: copy runs of ASCII a word at a time.
      std::uint64_t word;
      if (end - in >= 8 && (std::memcpy(&word, in, 8), AllPlainAscii(word))) {
        std::memcpy(out, in, 8);
        in += 8;
        out += 8;
        continue;
      }
    }
    const unsigned char b = *in;
    std::ptrdiff_t length;  // source bytes of this character
    int size;               // output bytes
    if (b < 0x80) {
      if (b == 0) {
        break;
      }
      length = 1;
      size = 1;
    } else if (b >= 0xA1 && b <= 0xFE) {
      length = 2;
      size = 2;
      if (end - in < 2 || !IsEucTrail(in[1])) {
        complete = false;
        break;
      }
    } else if (b == 0x8E) {
      length = 2;
      size = 1;
      if (end - in < 2 || in[1] < 0xA1 || in[1] > 0xDF) {
        complete = false;
        break;
      }
    } else if (b == 0x8F) {
      length = 3;
      size = 2;
      if (end - in < 3 || !IsEucTrail(in[1]) || !IsEucTrail(in[2])) {
        complete = false;
        break;
      }
    } else {
      complete = false;
      break;
    }
    if constexpr (kChecked) {
      if (outEnd - out < size) {
        complete = false;
        break;
      }
    }
    if (length == 1) {
      *out = b;
    } else if (b == 0x8E) {
      *out = in[1];
    } else if (b == 0x8F) {
      out[0] = 0x81;
      out[1] = 0x40;
    } else {
      WriteJisPair(b, in[1], out);
    }
    in += length;
    out += size;
  }
  *out = 0;
  return {static_cast<std::size_t>(out - outBegin), static_cast<std::size_t>(in - inBegin),
          complete};
}

}  // namespace

EucJpConversion ConvertEucJpToShiftJis(std::string_view source, char* destination,
                                       std::size_t capacity) {
  if (capacity == 0) {
    return {0, 0, source.empty() || source.front() == '\0'};
  }
  auto* in = reinterpret_cast<const unsigned char*>(source.data());
  auto* out = reinterpret_cast<unsigned char*>(destination);
  // The last byte of the destination is kept for the terminating zero.
  const unsigned char* outEnd = out + capacity - 1;
  if (capacity > source.size()) {
    // Fast path: Convert<false> (docs/fast_paths.md).
    return Convert<false>(in, in + source.size(), out, outEnd);
  }
  return Convert<true>(in, in + source.size(), out, outEnd);
}

std::string ConvertEucJpToShiftJis(std::string_view source) {
  std::string result(source.size() + 1, '\0');
  const EucJpConversion conversion = ConvertEucJpToShiftJis(source, result.data(), result.size());
  result.resize(conversion.written);
  return result;
}

}  // namespace pelmo
