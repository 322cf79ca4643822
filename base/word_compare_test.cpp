#include "base/word_compare.h"

#include <string>

#include <gtest/gtest.h>

namespace pelmo {
namespace {

// A difference at any one position of any covered length is seen: the two words must cover
// the middle bytes between them.
TEST(WordCompareTest, DifferenceAtEveryPositionOfFourToEightBytes) {
  const std::string a = "abcdefgh";
  for (std::size_t length = 4; length <= 8; ++length) {
    EXPECT_TRUE(SameFourToEightBytes(a.data(), a.data(), length));
    for (std::size_t at = 0; at < length; ++at) {
      std::string b = a;
      b[at] = 'X';
      EXPECT_FALSE(SameFourToEightBytes(a.data(), b.data(), length)) << length << " " << at;
    }
    // Bytes past the length do not count.
    std::string longer = a.substr(0, length) + "ZZZZ";
    std::string other = a.substr(0, length) + "YYYY";
    EXPECT_TRUE(SameFourToEightBytes(longer.data(), other.data(), length)) << length;
  }
}

}  // namespace
}  // namespace pelmo
