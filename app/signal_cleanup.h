// How pelmo meets signals. A closed pipe and the file size limit only make the write that
// met them fail (EPIPE, EFBIG), so that the run goes on and reports it. An interrupt, a
// hang-up or a termination request ends the run as it would have, but first removes the
// named temporary files of the write, or finishes a backup whose new file is already in
// place, so that nothing is left behind.
#pragma once

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

  // From now on a terminating signal renames the file to `target` instead of removing it.
  void RenameOnSignal(const std::string& target);

 private:
  int slot_;  // -1 when every slot was taken
};

}  // namespace pelmo
