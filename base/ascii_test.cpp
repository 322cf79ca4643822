#include "base/ascii.h"

#include <cctype>

#include <gtest/gtest.h>

namespace pelmo {
namespace {

// The "C" locale's classification is the reference; every byte, the high half included,
// where a signed char must not be mistaken for a letter or a space.
TEST(AsciiTest, EveryByteAgreesWithTheCLocale) {
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    EXPECT_EQ(IsCSpace(c), std::isspace(b) != 0) << b;
    EXPECT_EQ(IsAsciiUpper(c), std::isupper(b) != 0) << b;
    EXPECT_EQ(static_cast<unsigned char>(LowerAscii(c)), std::tolower(b)) << b;
    EXPECT_EQ(static_cast<unsigned char>(UpperAscii(c)), std::toupper(b)) << b;
  }
}

}  // namespace
}  // namespace pelmo
