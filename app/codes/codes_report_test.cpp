// The lines of a --codes run: each code's lines prefixed whole, and the closing texts.
#include "app/codes/codes_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelmo {
namespace {

TEST(CodeLines, PrefixesWholeLinesOnlyAndKeepsTheFailureLines) {
  std::vector<std::string> delivered;
  CodeLines lines("7203.t",
                  [&delivered](std::string_view bytes) { delivered.emplace_back(bytes); });
  lines.Feed("pelmo: cannot fetch 2007/01/01-2007/02/20: conn");
  EXPECT_TRUE(delivered.empty());
  lines.Feed("ection refused\nnote \x8A\x94\r\npel");
  lines.Feed("mo: cannot write 7203.csv: in use by another run of pelmo\n");
  lines.Feed("last");
  lines.Finish();
  EXPECT_EQ(delivered, (std::vector<std::string>{
                           "7203.t\tpelmo: cannot fetch 2007/01/01-2007/02/20: connection refused\n"
                           "7203.t\tnote \x8A\x94\r\n",
                           "7203.t\tpelmo: cannot write 7203.csv: in use by another run of pelmo\n",
                           "7203.t\tlast\n"}));
  EXPECT_EQ(
      lines.failureLines(),
      (std::vector<std::string>{"pelmo: cannot fetch 2007/01/01-2007/02/20: connection refused",
                                "pelmo: cannot write 7203.csv: in use by another run of pelmo"}));
  // Nothing more to hand on.
  lines.Finish();
  EXPECT_EQ(delivered.size(), 3u);
}

TEST(CodeLines, WithoutDeliveryOnlyKeeps) {
  CodeLines lines("8306.t", {});
  lines.Feed("note\npelmo: cannot fetch x: y\n");
  lines.Finish();
  EXPECT_EQ(lines.failureLines(), (std::vector<std::string>{"pelmo: cannot fetch x: y"}));
}

TEST(CodesTexts, StatusAndClosingLines) {
  EXPECT_EQ(CodesStatusText(37, 1000, 2, "7203.t 2026/11/08-2026/12/08"),
            "codes 37/1000, 2 failed, 7203.t 2026/11/08-2026/12/08");
  EXPECT_EQ(CodesStatusText(0, 3, 0, ""), "codes 0/3, 0 failed");
  EXPECT_EQ(CodesFailedLine({"1234.t", "5678.t", "9012.t"}, 1000),
            "pelmo: 3 of 1000 codes failed: 1234.t 5678.t 9012.t");
  EXPECT_EQ(CodesNotDoneLine({"1234.t"}, 5), "pelmo: interrupted; 1 of 5 codes not done: 1234.t");
  std::vector<std::string> many;
  std::string first20;
  for (int i = 1; i <= 21; ++i) {
    many.push_back(std::to_string(1000 + i) + ".t");
    if (i <= 20) {
      first20 += " " + many.back();
    }
  }
  EXPECT_EQ(CodesFailedLine(many, 50), "pelmo: 21 of 50 codes failed:" + first20 + " ...");
  many.pop_back();
  EXPECT_EQ(CodesFailedLine(many, 50), "pelmo: 20 of 50 codes failed:" + first20);
}

TEST(CodesTexts, FailedCodeLineNamesTheCodeAndItsFirstReason) {
  EXPECT_EQ(FailedCodeLine("1234.t", {"pelmo: cannot fetch a: b"}, 69),
            "pelmo: 1234.t: cannot fetch a: b");
  EXPECT_EQ(FailedCodeLine("1234.t", {"pelmo: cannot fetch a: b", "pelmo: c", "pelmo: d"}, 69),
            "pelmo: 1234.t: cannot fetch a: b (and 2 more)");
  EXPECT_EQ(FailedCodeLine("1234.t", {}, 65), "pelmo: 1234.t: failed with exit code 65");
}

}  // namespace
}  // namespace pelmo
