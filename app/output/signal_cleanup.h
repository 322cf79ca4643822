// How pelmo meets signals. A closed pipe and the file size limit only make the write that
// met them fail (EPIPE, EFBIG), so that the run goes on and reports it. An interrupt, a
// hang-up or a termination request ends the run as it would have, but first removes the
// named temporary files of the write, so that nothing is left behind; while the new file
// and the backup take their names, such a signal waits until both have.
#pragma once

#include <memory>
#include <string>

namespace pelmo {

// Sets the above up for the process; called once, before anything else.
void SetUpSignals();

// A temporary file name that a terminating signal removes while the object lives.
class TemporaryNameForSignals {
 public:
  explicit TemporaryNameForSignals(const std::string& path);
  TemporaryNameForSignals(const TemporaryNameForSignals&) = delete;
  TemporaryNameForSignals& operator=(const TemporaryNameForSignals&) = delete;
  ~TemporaryNameForSignals();

 private:
  int slot_;  // -1 when every slot was taken
};

// The signal mask as the system keeps it.
struct SavedSignalMask;

// While the object lives, terminating signals are held back, to be acted on after it.
class SignalsHeldBack {
 public:
  SignalsHeldBack();
  SignalsHeldBack(const SignalsHeldBack&) = delete;
  SignalsHeldBack& operator=(const SignalsHeldBack&) = delete;
  ~SignalsHeldBack();

 private:
  std::unique_ptr<SavedSignalMask> saved_;
};

}  // namespace pelmo
