// EUC-JP conversion of arbitrary bytes: the output never outgrows the input, stays inside
// its buffer, is terminated, and a smaller buffer gives a prefix of the same output.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "net/euc_jp.h"

namespace {

void Fail(const char* what, std::size_t size) {
  std::fprintf(stderr, "%s (input of %zu bytes)\n", what, size);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view source(reinterpret_cast<const char*>(data), size);
  const std::string converted = pelmo::ConvertEucJpToShiftJis(source);
  if (converted.size() > size) {
    Fail("output longer than input", size);
  }
  if (converted.find('\0') != std::string::npos) {
    Fail("zero byte in output", size);
  }

  // Exactly the promised capacity, on the heap so that an overrun is caught.
  const std::size_t capacity = size + 1;
  const auto buffer = std::make_unique<char[]>(capacity);
  const pelmo::EucJpConversion full = pelmo::ConvertEucJpToShiftJis(source, buffer.get(), capacity);
  if (full.written != converted.size() || full.consumed > size || full.written > full.consumed ||
      std::memcmp(buffer.get(), converted.data(), converted.size()) != 0 ||
      buffer[full.written] != '\0') {
    Fail("buffer conversion differs from string conversion", size);
  }

  // A capacity the input picks: the output is a prefix of the full one, and no more.
  const std::size_t small = size == 0 ? 0 : data[0] % (size + 1);
  const auto smallBuffer = std::make_unique<char[]>(small == 0 ? 1 : small);
  const pelmo::EucJpConversion cut =
      pelmo::ConvertEucJpToShiftJis(source, smallBuffer.get(), small);
  if (cut.written > (small == 0 ? 0 : small - 1) || cut.written > full.written ||
      std::memcmp(smallBuffer.get(), converted.data(), cut.written) != 0 ||
      (small > 0 && smallBuffer[cut.written] != '\0') || (cut.complete && !full.complete)) {
    Fail("smaller buffer breaks the prefix", size);
  }
  return 0;
}
