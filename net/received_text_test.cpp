#include "net/received_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelmo {
namespace {

using Status = ReceivedText::Status;

std::string Receive(const std::vector<std::string>& chunks, std::size_t limit = 1000) {
  ReceivedText text(limit);
  for (const std::string& chunk : chunks) {
    text.Append(chunk);
  }
  return text.text();
}

TEST(ReceivedTextTest, ExpandsEveryLineFeed) {
  EXPECT_EQ(Receive({"a\nb"}), "a\r\nb");
  EXPECT_EQ(Receive({"a\r\nb"}), "a\r\r\nb");
  EXPECT_EQ(Receive({"\n\n"}), "\r\n\r\n");
  EXPECT_EQ(Receive({"\r"}), "\r");
  EXPECT_EQ(Receive({"no line end"}), "no line end");
}

TEST(ReceivedTextTest, ChunkBoundariesDoNotMatter) {
  EXPECT_EQ(Receive({"a\r", "\nb"}), "a\r\r\nb");
  EXPECT_EQ(Receive({"a", "\n", "", "b\n"}), "a\r\nb\r\n");
}

TEST(ReceivedTextTest, ZeroByteEndsTheText) {
  ReceivedText text(1000);
  EXPECT_EQ(text.Append("ab\n"), Status::Open);
  EXPECT_EQ(text.Append(std::string("c\0d\n", 4)), Status::Ended);
  EXPECT_EQ(text.Append("more"), Status::Ended);
  EXPECT_EQ(text.text(), "ab\r\nc");
}

TEST(ReceivedTextTest, ZeroByteFirst) {
  ReceivedText text(1000);
  EXPECT_EQ(text.Append(std::string("\0abc", 4)), Status::Ended);
  EXPECT_EQ(text.text(), "");
}

// The limit counts the stored text, after expansion.
TEST(ReceivedTextTest, LimitIsInclusive) {
  ReceivedText exact(4);
  EXPECT_EQ(exact.Append("ab"), Status::Open);
  EXPECT_EQ(exact.Append("c\n"), Status::TooLarge);  // would be 5 bytes

  ReceivedText fits(5);
  EXPECT_EQ(fits.Append("ab"), Status::Open);
  EXPECT_EQ(fits.Append("c\n"), Status::Open);
  EXPECT_EQ(fits.text(), "abc\r\n");
  EXPECT_EQ(fits.Append("d"), Status::TooLarge);
  EXPECT_EQ(fits.text(), "");
  EXPECT_EQ(fits.Append(""), Status::TooLarge);
}

TEST(ReceivedTextTest, BytesAfterZeroDoNotCountTowardsLimit) {
  ReceivedText text(2);
  EXPECT_EQ(text.Append(std::string("ab\0cdef", 7)), Status::Ended);
  EXPECT_EQ(text.text(), "ab");
}

}  // namespace
}  // namespace pelmo
