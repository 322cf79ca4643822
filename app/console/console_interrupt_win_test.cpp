#include "app/console/console_interrupt.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/tests/terminal_sink_for_test.h"

namespace pelmo {
namespace {

class ConsoleInterruptTest : public ::testing::Test {
 protected:
  ConsoleInterruptTest() { std::filesystem::create_directories(folder_); }
  ~ConsoleInterruptTest() override { std::filesystem::remove_all(folder_); }

  void WriteFile(const std::string& text) {
    std::ofstream(folder_ / "7203.csv", std::ios::binary | std::ios::trunc) << text;
  }

  std::filesystem::path folder_ = std::filesystem::temp_directory_path() /
                                  ("pelmo-interrupt-" + std::to_string(::GetCurrentProcessId()));
  std::string path_ = (folder_ / "7203.csv").string();
  RecordingSinkForTest sink_;
  TerminalDisplay display_{sink_};
};

TEST_F(ConsoleInterruptTest, CtrlCErasesTheStatusAndKeepsTheFileUnchanged) {
  WriteFile("2016/01/04,1,2,3,4,5,6\r\n");
  const ConsoleInterruptNote note(display_, path_);
  display_.SetStatus("7203.t");
  EXPECT_FALSE(ReportConsoleControl(CTRL_C_EVENT));
  EXPECT_EQ(sink_.Take(), "[draw 7203.t][erase]pelmo: interrupted; " + path_ + " unchanged\n");
  // Written once: the next handler and the end of the process follow.
  EXPECT_FALSE(ReportConsoleControl(CTRL_C_EVENT));
  display_.SetStatus("later");
  EXPECT_EQ(sink_.Take(), "");
}

TEST_F(ConsoleInterruptTest, FileThatTookItsPlaceWasWritten) {
  const ConsoleInterruptNote note(display_, path_);
  WriteFile("2016/01/04,1,2,3,4,5,6\r\n");
  EXPECT_FALSE(ReportConsoleControl(CTRL_BREAK_EVENT));
  EXPECT_EQ(sink_.Take(), "pelmo: terminated; " + path_ + " was written\n");
}

TEST_F(ConsoleInterruptTest, DeviceGetsNoClaimAndNothingIsArmedAfterTheRun) {
  {
    const ConsoleInterruptNote note(display_, "NUL");
    EXPECT_FALSE(ReportConsoleControl(CTRL_C_EVENT));
    EXPECT_EQ(sink_.Take(), "pelmo: interrupted\n");
  }
  { const ConsoleInterruptNote note(display_, path_); }
  EXPECT_FALSE(ReportConsoleControl(CTRL_C_EVENT));
  EXPECT_EQ(sink_.Take(), "");
}

}  // namespace
}  // namespace pelmo
