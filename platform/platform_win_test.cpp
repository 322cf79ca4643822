#include "platform/platform.h"

#include <gtest/gtest.h>

#include "platform/wide_text_win.h"

namespace pelmo {
namespace {

TEST(WideText, JapaneseRoundTrip) {
  const std::string utf8 = "\xE6\xA0\xAA\xE4\xBE\xA1/7203.csv";  // 株価/7203.csv
  const std::wstring wide = Widen(utf8);
  EXPECT_EQ(wide, L"\u682a\u4fa1/7203.csv");
  EXPECT_EQ(Narrow(wide), utf8);
  EXPECT_EQ(Widen(""), L"");
}

// The test program carries no version record; pelmo.exe's is read by the black-box test.
TEST(ProgramVersionTest, NoneWithoutAVersionRecord) {
  EXPECT_FALSE(ProgramVersion(ProgramPath()).has_value());
  EXPECT_FALSE(ProgramVersion(ProgramPath() + ".absent").has_value());
}

TEST(FolderSeparatorsTest, BackslashToo) {
  EXPECT_EQ(FolderSeparators(), "/\\");
}

}  // namespace
}  // namespace pelmo
