// Erasing the status line when a signal ends pelmo, so that the shell's prompt does not
// land behind a half-written progress line.
//
// The status line is the only state here; it has to be global, as a signal handler cannot
// be handed an object. Everything in this file is async-signal-safe except the installing
// and restoring done by StatusLineSignals.
#pragma once

#include <signal.h>

namespace pelmo {

// Records that the status line is shown on `fd` (-1: nothing shown).
void SetShownStatusLine(int fd) noexcept;

// Erases the status line if one is shown (a carriage return and "erase to the end of the
// line"), and records that none is. Callable from a signal handler.
void EraseStatusLineFromSignal() noexcept;

// While alive, SIGINT and SIGTERM first erase the status line, write the interrupt note if
// one is armed (see app/console/terminal_interrupt.h), and then do what they did before: the
// earlier handler runs, or the default action ends the process. A signal that was ignored stays
// ignored. One instance at a time.
class StatusLineSignals {
 public:
  StatusLineSignals();
  ~StatusLineSignals();
  StatusLineSignals(const StatusLineSignals&) = delete;
  StatusLineSignals& operator=(const StatusLineSignals&) = delete;
};

}  // namespace pelmo
