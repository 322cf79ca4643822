#include "quote/byte_mask.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace pelmo {
namespace {

TEST(ByteMaskTest, WideCompareAgreesWithByteByByte) {
  std::mt19937 random(7203);
  // Blocks of few distinct bytes, so that every position is often equal and often not; the
  // bytes include those with the top bit set, which a signed comparison could get wrong.
  const std::string alphabet = std::string("<>\x00\x7F\x80\xFF", 6) + "a";
  for (int round = 0; round < 20000; ++round) {
    char block[kBlockBytes];
    for (char& c : block) {
      c = alphabet[random() % alphabet.size()];
    }
    const char byte = alphabet[random() % alphabet.size()];
    ASSERT_EQ(ByteMask(block, byte), PortableByteMask(block, byte));
  }
  EXPECT_EQ(FirstMarked(0x8000u), 15u);
  EXPECT_EQ(WithoutFirst(0x8010u), 0x8000u);
}

}  // namespace
}  // namespace pelmo
