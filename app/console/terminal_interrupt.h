// The line that tells a person at the terminal that SIGINT or SIGTERM ended the run, and
// what became of the output file:
//
//   pelmo: interrupted; 7203.csv unchanged
//   pelmo: terminated; 7203.csv was written
//
// The file is written under a temporary name and renamed into place only when complete, so
// it is either as it was or the new file; which one is told by whether the path still names
// the file it named when the run began. A path naming something other than a regular file
// (a device, a pipe) gets no claim: "pelmo: interrupted".
//
// A signal handler can be handed nothing, so what it needs is kept in static storage, filled
// before the note is armed. Everything called from a handler is async-signal-safe.
#pragma once

#include <string>

namespace pelmo {

// While alive, WriteInterruptNoteFromSignal writes the note about `outputPath` on `fd`.
// One instance at a time.
class InterruptNote {
 public:
  InterruptNote(int fd, const std::string& outputPath);
  ~InterruptNote();
  InterruptNote(const InterruptNote&) = delete;
  InterruptNote& operator=(const InterruptNote&) = delete;
};

// Writes the note for `signal` (SIGINT: "interrupted", else "terminated") if one is armed,
// and disarms it, so that it is written once. Callable from a signal handler.
void WriteInterruptNoteFromSignal(int signal) noexcept;

}  // namespace pelmo
