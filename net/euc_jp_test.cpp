#include "net/euc_jp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelmo {
namespace {

struct Case {
  const char* name;
  std::string source;
  std::string expected;
  bool complete;
};

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
    out += ' ';
  }
  return out;
}

void ExpectConversions(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    const std::string converted = ConvertEucJpToShiftJis(c.source);
    EXPECT_EQ(Hex(converted), Hex(c.expected)) << c.name << ", source " << Hex(c.source);
    std::string buffer(c.source.size() + 1, '\x7F');
    const EucJpConversion result = ConvertEucJpToShiftJis(c.source, buffer.data(), buffer.size());
    EXPECT_EQ(result.complete, c.complete) << c.name;
    EXPECT_EQ(result.written, c.expected.size()) << c.name;
    EXPECT_EQ(buffer[result.written], '\0') << c.name << ": output not terminated";
  }
}

TEST(EucJpTest, DocumentedExamples) {
  ExpectConversions({
      {"hiragana a", "\xA4\xA2", "\x82\xA0", true},
      {"half-width katakana", "\x8E\xB1", "\xB1", true},
      {"JIS X 0212 character", "\x8F\xA2\xAF", "\x81\x40", true},
      {"bad lead byte stops",
       "ab\x85"
       "cd",
       "ab", false},
  });
}

TEST(EucJpTest, EveryLeadByteClass) {
  ExpectConversions({
      {"empty", "", "", true},
      {"ASCII 0x01 and 0x7F", "\x01x\x7F", "\x01x\x7F", true},
      {"zero ends the text", std::string("ab\0\xA4\xA2", 5), "ab", true},
      {"kana lowest", "\x8E\xA1", "\xA1", true},
      {"kana highest", "\x8E\xDF", "\xDF", true},
      {"0212 lowest", "\x8F\xA1\xA1", "\x81\x40", true},
      {"0212 highest", "\x8F\xFE\xFE", "\x81\x40", true},
      {"0x80 rejected", "a\x80\xA1", "a", false},
      {"0x8D rejected", "a\x8D\xA1", "a", false},
      {"0x90 rejected", "a\x90\xA1", "a", false},
      {"0xA0 rejected", "a\xA0\xA1", "a", false},
      {"0xFF rejected", "a\xFF\xA1", "a", false},
  });
}

// Row starts and ends on both sides of j1 = 0x5E, odd and even rows, and the j2 = 0x5F
// step of odd rows.
TEST(EucJpTest, JisRowsMapArithmetically) {
  ExpectConversions({
      {"row 0x21 first (ideographic space)", "\xA1\xA1", "\x81\x40", true},
      {"row 0x21 j2=0x5F", "\xA1\xDF", "\x81\x7E", true},
      {"row 0x21 j2=0x60", "\xA1\xE0", "\x81\x80", true},
      {"row 0x21 last", "\xA1\xFE", "\x81\x9E", true},
      {"row 0x22 first", "\xA2\xA1", "\x81\x9F", true},
      {"row 0x22 last", "\xA2\xFE", "\x81\xFC", true},
      {"row 0x30 first kanji", "\xB0\xA1", "\x88\x9F", true},
      {"row 0x5D first", "\xDD\xA1", "\x9F\x40", true},
      {"row 0x5D last", "\xDD\xFE", "\x9F\x9E", true},
      {"row 0x5E first", "\xDE\xA1", "\x9F\x9F", true},
      {"row 0x5E last", "\xDE\xFE", "\x9F\xFC", true},
      {"row 0x5F first", "\xDF\xA1", "\xE0\x40", true},
      {"row 0x5F j2=0x5F", "\xDF\xDF", "\xE0\x7E", true},
      {"row 0x5F j2=0x60", "\xDF\xE0", "\xE0\x80", true},
      {"row 0x5F last", "\xDF\xFE", "\xE0\x9E", true},
      {"row 0x74 last kanji", "\xF4\xA6", "\xEA\xA4", true},
      {"row 0x7D first", "\xFD\xA1", "\xEF\x40", true},
      {"row 0x7E first", "\xFE\xA1", "\xEF\x9F", true},
      {"row 0x7E last", "\xFE\xFE", "\xEF\xFC", true},
      {"mixed text", "<td>\xC6\xFC\xC9\xD5</td>\n", "<td>\x93\xFA\x95\x74</td>\n", true},
  });
}

TEST(EucJpTest, TruncatedSequencesAtEndOfInput) {
  ExpectConversions({
      {"pair lead alone", "a\xA4", "a", false},
      {"kana lead alone", "a\x8E", "a", false},
      {"0212 lead alone", "a\x8F", "a", false},
      {"0212 with one trail", "a\x8F\xA2", "a", false},
      {"zero as trail", std::string("a\xA4\0\xA2", 4), "a", false},
  });
}

TEST(EucJpTest, BadTrailBytesStopBeforeTheLead) {
  ExpectConversions({
      {"pair trail ASCII", "\xA4\xA2\xA4\x41zz", "\x82\xA0", false},
      {"pair trail 0xA0", "\xA4\xA2\xA4\xA0zz", "\x82\xA0", false},
      {"pair trail 0xFF", "\xA4\xA2\xA4\xFFzz", "\x82\xA0", false},
      {"kana trail 0xA0", "\xA4\xA2\x8E\xA0zz", "\x82\xA0", false},
      {"kana trail 0xE0", "\xA4\xA2\x8E\xE0zz", "\x82\xA0", false},
      {"0212 first trail bad", "\xA4\xA2\x8F\xA0\xA1zz", "\x82\xA0", false},
      {"0212 second trail bad", "\xA4\xA2\x8F\xA1\xFFzz", "\x82\xA0", false},
      {"0212 second trail ASCII", "\xA4\xA2\x8F\xA1\x41zz", "\x82\xA0", false},
  });
}

TEST(EucJpTest, ReportsWhereConversionStopped) {
  const std::string source =
      "ab\x85"
      "cd";
  char buffer[8];
  const EucJpConversion result = ConvertEucJpToShiftJis(source, buffer, sizeof buffer);
  EXPECT_EQ(result.consumed, 2u);
  EXPECT_EQ(result.written, 2u);
  EXPECT_FALSE(result.complete);
}

TEST(EucJpTest, StopsWhenTheDestinationIsFull) {
  const std::string source = "a\xA4\xA2";
  char buffer[4] = {'#', '#', '#', '#'};
  EucJpConversion result = ConvertEucJpToShiftJis(source, buffer, 3);
  EXPECT_EQ(result.written, 1u);
  EXPECT_FALSE(result.complete);
  EXPECT_EQ(std::string(buffer, 3), std::string("a\0#", 3));

  result = ConvertEucJpToShiftJis(source, buffer, 1);
  EXPECT_EQ(result.written, 0u);
  EXPECT_EQ(buffer[0], '\0');

  result = ConvertEucJpToShiftJis(source, buffer, 4);
  EXPECT_TRUE(result.complete);
  EXPECT_EQ(std::string(buffer, 4), std::string("a\x82\xA0\0", 4));
}

// Long ASCII runs are copied in blocks; a special byte at any offset within or after a
// block must still be seen.
TEST(EucJpTest, SpecialByteAtEveryOffsetOfAnAsciiRun) {
  for (std::size_t offset = 0; offset < 20; ++offset) {
    const std::string run(offset, 'x');
    const std::string tail(11, 'y');
    ExpectConversions({
        {"pair", run + "\xA4\xA2" + tail, run + "\x82\xA0" + tail, true},
        {"zero", run + std::string(1, '\0') + tail, run, true},
        {"rejected", run + "\x80" + tail, run, false},
        {"0x7F kept", run + "\x7F" + tail, run + "\x7F" + tail, true},
    });
  }
}

}  // namespace
}  // namespace pelmo
