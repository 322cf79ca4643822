#include "platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace pelmo {
namespace {

TEST(ProgramFile, PathNamesThisTestProgramAndHasADate) {
  const std::string path = ProgramPath();
  ASSERT_FALSE(path.empty());
  EXPECT_NE(path.find("pelmo_platform_tests"), std::string::npos) << path;
  const auto modified = FileModifiedTime(path);
  ASSERT_TRUE(modified.has_value());
  // Built before it ran, and not before this code was written.
  EXPECT_LE(*modified, std::time(nullptr));
  EXPECT_GT(*modified, std::time_t{1700000000});
  EXPECT_FALSE(FileModifiedTime(path + ".absent").has_value());
}

TEST(LocalTimeTest, BreaksDownIntoCalendarFields) {
  // Noon UTC is the same day in every time zone of the world but the extreme ones.
  const auto time = LocalTime(std::time_t{1173787200});  // 2007-03-13 12:00 UTC
  ASSERT_TRUE(time.has_value());
  EXPECT_EQ(time->tm_year, 107);
  EXPECT_EQ(time->tm_mon, 2);
  EXPECT_EQ(time->tm_mday, 13);
}

// A Japanese file name as UTF-8, the form the rest of the program holds paths in.
TEST(OpenFileTest, Utf8NamesAreWrittenAndReadBack) {
  const std::string name = "\xE6\xA0\xAA\xE4\xBE\xA1-platform-test.csv";  // 株価
  std::FILE* out = OpenFile(name, "wb");
  ASSERT_NE(out, nullptr);
  std::fputs("2007/03/13\r\n", out);
  std::fclose(out);
  std::FILE* in = OpenFile(name, "rb");
  ASSERT_NE(in, nullptr);
  char text[32] = {};
  const std::size_t got = std::fread(text, 1, sizeof text - 1, in);
  std::fclose(in);
  EXPECT_EQ(std::string(text, got), "2007/03/13\r\n");
  std::filesystem::remove(std::filesystem::path(reinterpret_cast<const char8_t*>(name.c_str())));
  EXPECT_EQ(OpenFile(name, "rb"), nullptr);
}

TEST(SystemErrorTextTest, SaysSomethingAndEndsWithoutALineEnd) {
  const std::string text = SystemErrorText(2);  // ENOENT, or ERROR_FILE_NOT_FOUND
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');
  EXPECT_NE(text.back(), '\r');
  EXPECT_NE(FolderSeparators().find('/'), std::string_view::npos);
}

// A message to a file (standard error redirected) keeps its bytes, after what the stream
// held before it, whatever characters its path has.
TEST(WriteMessageTest, FileGetsTheBytesInOrder) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  std::fputs("earlier\n", file);
  const std::string line = "pelmo: cannot write \xE6\xA0\xAA/7203.csv: \xE6\x8B\x92\n";
  WriteMessage(file, line);
  std::rewind(file);
  char text[64] = {};
  const std::size_t got = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  EXPECT_EQ(std::string(text, got), "earlier\n" + line);
}

}  // namespace
}  // namespace pelmo
