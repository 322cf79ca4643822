// The TerminalSink of a Windows console, and the note rows' conversion for it. The console
// takes wide characters, so that paths, reasons and notes read right whatever its code page:
// the display's bytes are UTF-8 (the form every path and message takes inside the program,
// and what ShiftJisToUtf8 makes of a note row) and are widened at the write. The status line
// is rubbed out with a carriage return and spaces, which every console understands, with or
// without virtual-terminal sequences.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "app/console/note_converter.h"
#include "app/console/terminal_sink.h"

namespace pelmo {

// What the sink needs of a console; tests stand in for one.
struct ConsoleOutput {
  std::function<void(std::wstring_view)> write;
  std::function<std::size_t()> width;  // columns of the console's window
};

// WriteConsoleW to `console` (a console HANDLE), and the width of its window (80 when it
// cannot tell).
ConsoleOutput ConsoleOutputOf(void* console);

class ConsoleSink : public TerminalSink {
 public:
  explicit ConsoleSink(ConsoleOutput output) : output_(std::move(output)) {}

  void Write(std::string_view bytes) override;
  void DrawStatus(std::string_view text) override;
  void EraseStatus() override;
  std::size_t Width() const override { return output_.width(); }

 private:
  std::wstring Blank() const;

  ConsoleOutput output_;
};

// Shift_JIS (code page 932) to UTF-8. Nullopt for bytes that are not Shift_JIS.
class ShiftJisToUtf8 : public NoteConverter {
 public:
  std::optional<std::string> FromShiftJis(std::string_view text) const override;
};

}  // namespace pelmo
