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
}

// The searches walk a mask with FirstMarked and WithoutFirst: the walk must visit exactly the
// positions that hold the byte, in ascending order, the last position of the block included.
TEST(ByteMaskTest, WalkingTheMarksVisitsEachMatchInOrder) {
  std::mt19937 random(7204);
  for (int round = 0; round < 2000; ++round) {
    char block[kBlockBytes];
    for (char& c : block) {
      c = random() % 3 == 0 ? '<' : 'x';
    }
    if (round % 2 == 0) {
      block[kBlockBytes - 1] = '<';
    }
    std::string expected;
    for (std::size_t i = 0; i < kBlockBytes; ++i) {
      if (block[i] == '<') {
        expected += static_cast<char>('a' + i);
      }
    }
    std::string visited;
    for (std::uint32_t marks = ByteMask(block, '<'); marks != 0; marks = WithoutFirst(marks)) {
      visited += static_cast<char>('a' + FirstMarked(marks));
    }
    ASSERT_EQ(visited, expected);
  }
}

}  // namespace
}  // namespace pelmo
