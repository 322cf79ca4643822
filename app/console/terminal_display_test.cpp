#include "app/console/terminal_display.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/tests/terminal_sink_for_test.h"

namespace pelmo {
namespace {

using namespace std::chrono_literals;

std::string Drawn(const std::string& text) {
  return "[draw " + text + "]";
}

class TerminalDisplayTest : public ::testing::Test {
 protected:
  TerminalDisplayTest() {
    display_.emplace(sink_, [this] { return now_; });
  }

  RecordingSinkForTest sink_;
  TerminalDisplay::Clock::time_point now_{};
  std::optional<TerminalDisplay> display_;
};

TEST_F(TerminalDisplayTest, StatusIsRedrawnAtMostOncePerInterval) {
  display_->SetStatus("one");
  EXPECT_EQ(sink_.Take(), Drawn("one"));
  now_ += TerminalDisplay::kRedrawInterval - 1ms;
  display_->SetStatus("two");
  display_->SetStatus("three");
  EXPECT_EQ(sink_.Take(), "");
  now_ += 1ms;
  display_->SetStatus("four");
  EXPECT_EQ(sink_.Take(), Drawn("four"));
}

TEST_F(TerminalDisplayTest, LinesAppearAboveTheStatusWithItsLatestText) {
  display_->WriteAbove("before any status\n");
  EXPECT_EQ(sink_.Take(), "before any status\n");
  display_->SetStatus("one");
  display_->SetStatus("two");  // within the interval: kept for the next drawing
  sink_.Take();
  display_->WriteAbove("a note\r\n");
  EXPECT_EQ(sink_.Take(), "[erase]a note\r\n" + Drawn("two"));
  // Drawing again after a line does not count as a new text: the interval still runs from
  // the drawing of "one".
  now_ += TerminalDisplay::kRedrawInterval;
  display_->SetStatus("three");
  EXPECT_EQ(sink_.Take(), Drawn("three"));
}

TEST_F(TerminalDisplayTest, ClearedStatusStaysAwayUntilSetAgain) {
  display_->SetStatus("one");
  display_->ClearStatus();
  EXPECT_EQ(sink_.Take(), Drawn("one") + "[erase]");
  display_->WriteAbove("line\n");
  display_->ClearStatus();
  EXPECT_EQ(sink_.Take(), "line\n");
  display_->SetStatus("two");
  EXPECT_EQ(sink_.Take(), Drawn("two"));
}

TEST_F(TerminalDisplayTest, ShownStatusIsErasedWhenTheDisplayEnds) {
  display_->SetStatus("one");
  sink_.Take();
  display_.reset();
  EXPECT_EQ(sink_.Take(), "[erase]");
  {
    TerminalDisplay quiet(sink_);
    quiet.WriteAbove("only a line\n");
  }
  EXPECT_EQ(sink_.Take(), "only a line\n");
}

TEST_F(TerminalDisplayTest, StatusIsCutToTheWidthAndLosesControlBytes) {
  display_->SetStatus(std::string(100, 'x'));
  EXPECT_EQ(sink_.Take(), Drawn(std::string(79, 'x')));
  now_ += TerminalDisplay::kRedrawInterval;
  display_->SetStatus("a\033[2Jb\nc\x7F");
  EXPECT_EQ(sink_.Take(), Drawn("a [2Jb c "));
  RecordingSinkForTest narrow(1);
  TerminalDisplay(narrow).SetStatus("x");
  EXPECT_EQ(narrow.Take(), Drawn("") + "[erase]");
}

// An interrupted run's last line is the last thing shown, whatever the waiting thread or
// the note stream still hand the display.
TEST_F(TerminalDisplayTest, FinishErasesWritesOnceAndSilencesTheRest) {
  display_->SetStatus("one");
  sink_.Take();
  display_->Finish("pelmo: interrupted\n");
  EXPECT_EQ(sink_.Take(), "[erase]pelmo: interrupted\n");
  now_ += TerminalDisplay::kRedrawInterval;
  display_->SetStatus("two");
  display_->WriteAbove("late note\n");
  display_->Finish("pelmo: interrupted\n");
  display_->ClearStatus();
  display_.reset();
  EXPECT_EQ(sink_.Take(), "");
}

}  // namespace
}  // namespace pelmo
