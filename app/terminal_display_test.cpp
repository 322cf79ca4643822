#include "app/terminal_display.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/terminal_pipe_for_test.h"
#include "app/terminal_signal.h"

namespace pelmo {
namespace {

using namespace std::chrono_literals;

constexpr const char* kErase = "\r\033[K";

std::string Drawn(const std::string& text) {
  return "\r" + text + "\033[K";
}

class TerminalDisplayTest : public ::testing::Test {
 protected:
  TerminalDisplayTest() {
    display_.emplace(pipe_.fd(), [this] { return now_; });
  }

  TerminalPipeForTest pipe_;
  TerminalDisplay::Clock::time_point now_{};
  std::optional<TerminalDisplay> display_;
};

TEST_F(TerminalDisplayTest, StatusIsRedrawnAtMostOncePerInterval) {
  display_->SetStatus("one");
  EXPECT_EQ(pipe_.Take(), Drawn("one"));
  now_ += TerminalDisplay::kRedrawInterval - 1ms;
  display_->SetStatus("two");
  display_->SetStatus("three");
  EXPECT_EQ(pipe_.Take(), "");
  now_ += 1ms;
  display_->SetStatus("four");
  EXPECT_EQ(pipe_.Take(), Drawn("four"));
}

TEST_F(TerminalDisplayTest, LinesAppearAboveTheStatusWithItsLatestText) {
  display_->WriteAbove("before any status\n");
  EXPECT_EQ(pipe_.Take(), "before any status\n");
  display_->SetStatus("one");
  display_->SetStatus("two");  // within the interval: kept for the next drawing
  pipe_.Take();
  display_->WriteAbove("a note\r\n");
  EXPECT_EQ(pipe_.Take(), std::string(kErase) + "a note\r\n" + Drawn("two"));
  // Drawing again after a line does not count as a new text: the interval still runs from
  // the drawing of "one".
  now_ += TerminalDisplay::kRedrawInterval;
  display_->SetStatus("three");
  EXPECT_EQ(pipe_.Take(), Drawn("three"));
}

TEST_F(TerminalDisplayTest, ClearedStatusStaysAwayUntilSetAgain) {
  display_->SetStatus("one");
  display_->ClearStatus();
  EXPECT_EQ(pipe_.Take(), Drawn("one") + kErase);
  display_->WriteAbove("line\n");
  display_->ClearStatus();
  EXPECT_EQ(pipe_.Take(), "line\n");
  display_->SetStatus("two");
  EXPECT_EQ(pipe_.Take(), Drawn("two"));
}

TEST_F(TerminalDisplayTest, ShownStatusIsErasedWhenTheDisplayEnds) {
  display_->SetStatus("one");
  pipe_.Take();
  display_.reset();
  EXPECT_EQ(pipe_.Take(), kErase);
  {
    TerminalDisplay quiet(pipe_.fd());
    quiet.WriteAbove("only a line\n");
  }
  EXPECT_EQ(pipe_.Take(), "only a line\n");
}

TEST_F(TerminalDisplayTest, StatusIsCutToTheWidthAndLosesControlBytes) {
  // A pipe has no width: 80 columns are assumed, of which 79 are used.
  display_->SetStatus(std::string(100, 'x'));
  EXPECT_EQ(pipe_.Take(), Drawn(std::string(79, 'x')));
  now_ += TerminalDisplay::kRedrawInterval;
  display_->SetStatus("a\033[2Jb\nc\x7F");
  EXPECT_EQ(pipe_.Take(), Drawn("a [2Jb c "));
}

TEST_F(TerminalDisplayTest, SignalErasesAShownStatusOnce) {
  EraseStatusLineFromSignal();
  EXPECT_EQ(pipe_.Take(), "");
  display_->SetStatus("one");
  pipe_.Take();
  EraseStatusLineFromSignal();
  EraseStatusLineFromSignal();
  EXPECT_EQ(pipe_.Take(), kErase);
  display_->SetStatus("two");
  display_->ClearStatus();
  pipe_.Take();
  EraseStatusLineFromSignal();
  EXPECT_EQ(pipe_.Take(), "");
}

}  // namespace
}  // namespace pelmo
