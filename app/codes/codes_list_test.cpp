// The list of a --codes run: what is skipped, trimmed and refused, and the lines named.
#include "app/codes/codes_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelmo {
namespace {

std::vector<std::string> Codes(const std::vector<ListedCode>& list) {
  std::vector<std::string> codes;
  for (const ListedCode& listed : list) {
    codes.push_back(listed.code);
  }
  return codes;
}

TEST(CodeList, SkipsBlankAndCommentLinesAndTrimsAroundCodes) {
  const auto list = ReadCodeList("7203\n\n# held\n  8306.t \t\r\n   \n\t#x\n6758\r\n9984");
  EXPECT_EQ(Codes(list), (std::vector<std::string>{"7203", "8306.t", "6758", "9984"}));
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].line, 1u);
  EXPECT_EQ(list[1].line, 4u);
  EXPECT_EQ(list[2].line, 7u);
  EXPECT_EQ(list[3].line, 8u);
  for (const ListedCode& listed : list) {
    EXPECT_EQ(listed.refusal, "") << listed.code;
  }
  // A '#' inside a code is part of it, not a comment.
  EXPECT_EQ(Codes(ReadCodeList("72#03\n")), (std::vector<std::string>{"72#03"}));
  EXPECT_TRUE(ReadCodeList("").empty());
  EXPECT_TRUE(ReadCodeList("\n# only comments\n  \n").empty());
}

TEST(CodeList, RefusesCodesThatCouldNameAnotherFileOrNone) {
  const auto list = ReadCodeList("7203\n../x\na/b\na\\b\n.t\n.\nx\x01y\nx\x7fy\n7203.t\n");
  ASSERT_EQ(list.size(), 9u);
  EXPECT_EQ(list[0].refusal, "");
  EXPECT_EQ(list[1].refusal, "pelmo: line 2: bad code '../x'");
  EXPECT_EQ(list[2].refusal, "pelmo: line 3: bad code 'a/b'");
  EXPECT_EQ(list[3].refusal, "pelmo: line 4: bad code 'a\\x5Cb'");
  EXPECT_EQ(list[4].refusal, "pelmo: line 5: bad code '.t'");
  EXPECT_EQ(list[5].refusal, "pelmo: line 6: bad code '.'");
  EXPECT_EQ(list[6].refusal, "pelmo: line 7: bad code 'x\\x01y'");
  EXPECT_EQ(list[7].refusal, "pelmo: line 8: bad code 'x\\x7Fy'");
  EXPECT_EQ(list[8].refusal, "");
}

TEST(CodeList, SafeCodes) {
  EXPECT_TRUE(IsSafeCode("7203"));
  EXPECT_TRUE(IsSafeCode("7203.t"));
  EXPECT_TRUE(IsSafeCode("a..b"));
  // Bytes above 0x7F are not control bytes: names in other scripts are kept.
  EXPECT_TRUE(IsSafeCode("\xE6\x97\xA5"));
  EXPECT_FALSE(IsSafeCode(""));
  EXPECT_FALSE(IsSafeCode(".."));
  EXPECT_FALSE(IsSafeCode("x\ty"));
  EXPECT_FALSE(IsSafeCode("C:\\x"));
  EXPECT_FALSE(IsSafeCode("/etc/passwd"));
}

}  // namespace
}  // namespace pelmo
