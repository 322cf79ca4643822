#include "app/console/console_sink.h"

#include <gtest/gtest.h>

#include <string>

#include "app/console/terminal_display.h"
#include "app/console/terminal_stream.h"

namespace pelmo {
namespace {

// "2004/01/26,分割: 1株 -> 1.5株" in Shift_JIS and as the console should show it.
const std::string kNote = "2004/01/26,\x95\xAA\x8A\x84: 1\x8A\x94 -> 1.5\x8A\x94";
const std::wstring kShownNote = L"2004/01/26,\u5206\u5272: 1\u682A -> 1.5\u682A";

class ConsoleSinkTest : public ::testing::Test {
 protected:
  ConsoleSinkTest()
      : sink_(ConsoleOutput{[this](std::wstring_view text) { shown_ += text; },
                            [] { return std::size_t{12}; }}) {}

  std::wstring Take() { return std::exchange(shown_, {}); }

  std::wstring shown_;
  ConsoleSink sink_;
  const std::wstring blank_ = L"\r" + std::wstring(11, L' ') + L"\r";
};

TEST_F(ConsoleSinkTest, PathsAndReasonsAreShownInTheirOwnCharacters) {
  sink_.Write("pelmo: cannot write \xE6\xA0\xAA\xE4\xBE\xA1\\7203.csv: \xE6\x8B\x92\xE5\x90\xA6\n");
  EXPECT_EQ(Take(), L"pelmo: cannot write \u682A\u4FA1\\7203.csv: \u62D2\u5426\n");
  sink_.Write("");
  EXPECT_EQ(Take(), L"");
}

// Spaces over the columns the line may use rub out a longer text, on any console.
TEST_F(ConsoleSinkTest, StatusLineIsBlankedThenDrawnAndErasedTheSameWay) {
  TerminalDisplay display(sink_);
  display.SetStatus("7203.t 2003/11/12-2004/01/01 2/184");
  EXPECT_EQ(Take(), blank_ + L"7203.t 2003");
  display.WriteAbove("line\n");
  EXPECT_EQ(Take(), blank_ + L"line\n" + blank_ + L"7203.t 2003");
  display.ClearStatus();
  EXPECT_EQ(Take(), blank_);
}

TEST(ShiftJisToUtf8, ConvertsNoteRowsAndRefusesBrokenOnes) {
  const ShiftJisToUtf8 converter;
  EXPECT_EQ(converter.FromShiftJis(kNote),
            "2004/01/26,\xE5\x88\x86\xE5\x89\xB2: 1\xE6\xA0\xAA -> 1.5\xE6\xA0\xAA");
  EXPECT_EQ(converter.FromShiftJis(""), "");
  EXPECT_EQ(converter.FromShiftJis("abc\x81"), std::nullopt);  // a lead byte without its trail
}

// The pipe that stands for a stream here is read by a thread of its own: every line written
// must be on the console once the stream is closed, the last one without its line end too.
TEST_F(ConsoleSinkTest, StreamsShowNotesConvertedAndMessagesAsTheyAre) {
  ConsoleSink wide(ConsoleOutput{[this](std::wstring_view text) { shown_ += text; },
                                 [] { return std::size_t{80}; }});
  TerminalDisplay display(wide);
  const ShiftJisToUtf8 converter;
  TerminalStream notes = OpenTerminalStream(display, &converter);
  TerminalStream messages = OpenTerminalStream(display, nullptr);
  ASSERT_TRUE(notes && messages);
  const std::string noteLines = kNote + "\r\n" + kNote.substr(0, 13);
  std::fwrite(noteLines.data(), 1, noteLines.size(), notes.get());
  notes.reset();
  EXPECT_EQ(Take(), kShownNote + L"\n" + kShownNote.substr(0, 12));
  const std::string message = "pelmo: cannot fetch \xE6\xA0\xAA\n";
  std::fwrite(message.data(), 1, message.size(), messages.get());
  messages.reset();
  EXPECT_EQ(Take(), L"pelmo: cannot fetch \u682A\n");
}

}  // namespace
}  // namespace pelmo
