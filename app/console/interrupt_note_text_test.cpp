#include "app/console/interrupt_note_text.h"

#include <gtest/gtest.h>

#include <string>

namespace pelmo {
namespace {

std::string Line(bool interrupted, std::string_view path, OutputFate fate) {
  std::string line;
  for (std::string_view piece : InterruptNotePieces(interrupted, path, fate)) {
    line += piece;
  }
  return line;
}

TEST(InterruptNoteText, NamesTheSignalAndWhatBecameOfTheFile) {
  EXPECT_EQ(Line(true, "7203.csv", OutputFate::Unchanged),
            "pelmo: interrupted; 7203.csv unchanged\n");
  EXPECT_EQ(Line(false, "\xE6\xA0\xAA/7203.csv", OutputFate::Written),
            "pelmo: terminated; \xE6\xA0\xAA/7203.csv was written\n");
  EXPECT_EQ(Line(true, "/dev/null", OutputFate::NotAFile), "pelmo: interrupted\n");
}

}  // namespace
}  // namespace pelmo
