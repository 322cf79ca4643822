#include "app/console/terminal_fd_sink.h"

#include <gtest/gtest.h>

#include <string>

#include "app/console/terminal_display.h"
#include "app/console/terminal_signal.h"
#include "app/tests/terminal_pipe_for_test.h"

namespace pelmo {
namespace {

constexpr const char* kErase = "\r\033[K";

TEST(FdTerminalSink, StatusIsACarriageReturnTheTextAndEraseToTheEnd) {
  TerminalPipeForTest pipe;
  FdTerminalSink sink(pipe.fd());
  TerminalDisplay display(sink);
  // A pipe has no width: 80 columns are assumed, of which 79 are used.
  display.SetStatus(std::string(100, 'x'));
  EXPECT_EQ(pipe.Take(), "\r" + std::string(79, 'x') + "\033[K");
  display.WriteAbove("a note\r\n");
  EXPECT_EQ(pipe.Take(), std::string(kErase) + "a note\r\n\r" + std::string(79, 'x') + "\033[K");
}

TEST(FdTerminalSink, SignalErasesAShownStatusOnce) {
  TerminalPipeForTest pipe;
  FdTerminalSink sink(pipe.fd());
  TerminalDisplay display(sink);
  EraseStatusLineFromSignal();
  EXPECT_EQ(pipe.Take(), "");
  display.SetStatus("one");
  pipe.Take();
  EraseStatusLineFromSignal();
  EraseStatusLineFromSignal();
  EXPECT_EQ(pipe.Take(), kErase);
  display.SetStatus("two");
  display.ClearStatus();
  pipe.Take();
  EraseStatusLineFromSignal();
  EXPECT_EQ(pipe.Take(), "");
}

}  // namespace
}  // namespace pelmo
