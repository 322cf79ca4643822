// Ctrl-C on the Windows console: the status line is erased and one line says what became of
// the output file ("pelmo: interrupted; 7203.csv unchanged", see
// app/console/interrupt_note_text.h).
//
// Windows hands Ctrl-C, Ctrl-Break and the closing of the console window to console control
// handlers, on a thread of their own, the last one installed first. This one only reports and
// then hands the event on (to the handler that removes the temporary files, and finally to
// the default action that ends the process). The file is named by what its path opens when
// the run begins and when it is ended: its volume, file index, size and time of writing.
#pragma once

#include <string>

#include "app/console/terminal_display.h"

namespace pelmo {

// While alive, a console control event ends `display` with the note about `outputPath`.
// One instance at a time.
class ConsoleInterruptNote {
 public:
  ConsoleInterruptNote(TerminalDisplay& display, const std::string& outputPath);
  ~ConsoleInterruptNote();
  ConsoleInterruptNote(const ConsoleInterruptNote&) = delete;
  ConsoleInterruptNote& operator=(const ConsoleInterruptNote&) = delete;
};

// What the handler does for the control event `event` (CTRL_C_EVENT: "interrupted", any
// other: "terminated"): writes the note if one is armed, and disarms it, so that it is
// written once. Returns false, so that the next handler gets the event.
bool ReportConsoleControl(unsigned long event);

}  // namespace pelmo
