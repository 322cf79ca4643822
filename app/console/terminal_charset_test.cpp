#include "app/console/terminal_charset.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "app/tests/test_support_for_test.h"

namespace pelmo {
namespace {

// "2004/01/26,分割: 1株 -> 1.5株" as a page gives it, in Shift_JIS, and in UTF-8.
const std::string kSplitNote = "2004/01/26,\x95\xAA\x8A\x84: 1\x8A\x94 -> 1.5\x8A\x94";
const std::string kSplitNoteUtf8 = "2004/01/26,分割: 1株 -> 1.5株";

TEST(TerminalCharset, ShiftJisBecomesUtf8) {
  const TerminalCharset utf8("UTF-8");
  ASSERT_TRUE(utf8.Converts());
  EXPECT_EQ(utf8.FromShiftJis(kSplitNote), kSplitNoteUtf8);
  // Half-width katakana are single bytes; backslash and tilde stay what they are.
  EXPECT_EQ(utf8.FromShiftJis("\xB1\xB2 C:\\x ~"), "ｱｲ C:\\x ~");
  // A second call starts afresh after a refused one.
  EXPECT_EQ(utf8.FromShiftJis("\x95"), std::nullopt);
  EXPECT_EQ(utf8.FromShiftJis("\x95\xAA"), "分");
  EXPECT_EQ(utf8.FromShiftJis(""), "");
}

TEST(TerminalCharset, LongTextsAndStatefulTargetsGrowTheOutput) {
  std::string sjis;
  std::string utf8;
  for (int i = 0; i < 2000; ++i) {
    sjis +=
        "\xB1"
        "a\x95\xAA";
    utf8 += "ｱa分";
  }
  EXPECT_EQ(TerminalCharset("UTF-8").FromShiftJis(sjis), utf8);
  // Every change between ASCII and kanji costs an escape sequence of three bytes, so the
  // text becomes three times as long.
  std::string alternating;
  std::string jis;
  for (int i = 0; i < 2000; ++i) {
    alternating += "a\x95\xAA";
    jis += "a\033$BJ,\033(B";
  }
  EXPECT_EQ(TerminalCharset("ISO-2022-JP").FromShiftJis(alternating), jis);
}

TEST(TerminalCharset, WhatCannotBeConvertedIsRefused) {
  const TerminalCharset latin1("ISO-8859-1");
  ASSERT_TRUE(latin1.Converts());
  EXPECT_EQ(latin1.FromShiftJis(kSplitNote), std::nullopt);
  EXPECT_EQ(latin1.FromShiftJis("2004/01/26,note"), "2004/01/26,note");
  // A lead byte without its trail byte, and a byte that no character begins with.
  EXPECT_EQ(TerminalCharset("UTF-8").FromShiftJis("1\x95"), std::nullopt);
  EXPECT_EQ(TerminalCharset("UTF-8").FromShiftJis("1\xA0"), std::nullopt);
}

TEST(TerminalCharset, AsciiAndUnknownCharsetsConvertNothing) {
  for (const char* codeset : {"ANSI_X3.4-1968", "ASCII", "", "NO-SUCH-CHARSET"}) {
    const TerminalCharset charset(codeset);
    EXPECT_FALSE(charset.Converts()) << codeset;
    EXPECT_EQ(charset.FromShiftJis("plain"), std::nullopt) << codeset;
  }
}

TEST(TerminalCharset, EnvironmentNamesTheLocaleWithoutSettingIt) {
  ::setenv("LC_ALL", "C", 1);
  EXPECT_FALSE(TerminalCharset::FromEnvironment().Converts());
  if (!LocaleInstalledForTest("en_US.UTF-8")) {
    ::unsetenv("LC_ALL");
    GTEST_SKIP() << "en_US.UTF-8 is not installed (scripts/setup.sh generates it)";
  }
  ::setenv("LC_ALL", "en_US.UTF-8", 1);
  EXPECT_EQ(TerminalCharset::FromEnvironment().FromShiftJis(kSplitNote), kSplitNoteUtf8);
  ::unsetenv("LC_ALL");
  // The program itself stays in the "C" locale.
  EXPECT_STREQ(::setlocale(LC_CTYPE, nullptr), "C");
}

}  // namespace
}  // namespace pelmo
