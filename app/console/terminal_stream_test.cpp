#include "app/console/terminal_stream.h"

#include <gtest/gtest.h>

#include <string>

#include "app/console/terminal_charset.h"
#include "app/console/terminal_fd_sink.h"
#include "app/tests/terminal_pipe_for_test.h"

namespace pelmo {
namespace {

const std::string kNote = "2004/01/26,\x95\xAA\x8A\x84: 1\x8A\x94 -> 1.5\x8A\x94";
const std::string kErase = "\r\033[K";

void Write(std::FILE* stream, const std::string& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
}

class TerminalStreamTest : public ::testing::Test {
 protected:
  TerminalPipeForTest pipe_;
  FdTerminalSink sink_{pipe_.fd()};
  TerminalDisplay display_{sink_};
};

TEST_F(TerminalStreamTest, NoteLinesAreConvertedWholeAboveTheStatus) {
  const TerminalCharset utf8("UTF-8");
  TerminalStream notes = OpenTerminalStream(display_, &utf8);
  ASSERT_TRUE(notes);
  display_.SetStatus("status");
  pipe_.Take();
  // A line that arrives in pieces is shown once it is complete, never cut by the status.
  Write(notes.get(), kNote.substr(0, 12));
  EXPECT_EQ(pipe_.Take(), "");
  Write(notes.get(), kNote.substr(12) + "\r\n0000/00/01,a\x01");
  EXPECT_EQ(pipe_.Take(), kErase + "2004/01/26,分割: 1株 -> 1.5株\n" + "\rstatus\033[K");
  Write(notes.get(), "b\r\n\r\n");
  EXPECT_EQ(pipe_.Take(), kErase + "0000/00/01,a b\n\n" + "\rstatus\033[K");
}

TEST_F(TerminalStreamTest, LinesThatCannotBeConvertedKeepTheirBytes) {
  const TerminalCharset latin1("ISO-8859-1");
  TerminalStream notes = OpenTerminalStream(display_, &latin1);
  Write(notes.get(), kNote + "\r\nplain\r\n");
  EXPECT_EQ(pipe_.Take(), kNote + "\r\nplain\n");
  const TerminalCharset none("ANSI_X3.4-1968");
  TerminalStream raw = OpenTerminalStream(display_, &none);
  Write(raw.get(), kNote + "\r\nplain\r\n");
  EXPECT_EQ(pipe_.Take(), kNote + "\r\nplain\r\n");
}

TEST_F(TerminalStreamTest, MessagesPassAsTheyAreAndTheLastPieceOnClose) {
  TerminalStream messages = OpenTerminalStream(display_, nullptr);
  const std::string message = "pelmo: cannot write \xE6\x97\xA5.csv: No such file\n";
  Write(messages.get(), message + "no line end");
  EXPECT_EQ(pipe_.Take(), message);
  messages.reset();
  EXPECT_EQ(pipe_.Take(), "no line end");
}

}  // namespace
}  // namespace pelmo
