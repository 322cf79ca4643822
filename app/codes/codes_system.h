// What a --codes run needs of the system, each behind its own file: codes_system_posix.cpp
// and codes_system_win.cpp.
#pragma once

#include <cstdio>
#include <functional>
#include <string_view>

#include "app/console/terminal_display.h"
#include "app/console/terminal_stream.h"

namespace pelmo {

// A stream whose bytes are handed to `feed` as they are written; once the stream is
// closed, all of them have been. Null if the stream cannot be made.
TerminalStream OpenFeedStream(std::function<void(std::string_view)> feed);

// While it lives, an interrupt (Ctrl-C), a termination request or a hang-up (Ctrl+C and
// Ctrl+Break on Windows) no longer ends the process: it is noted, for the run to stop
// starting codes and give up the running ones at their next request.
class CodesStopRequest {
 public:
  CodesStopRequest();
  ~CodesStopRequest();
  CodesStopRequest(const CodesStopRequest&) = delete;
  CodesStopRequest& operator=(const CodesStopRequest&) = delete;

  bool Requested() const;
  // The exit code of a run that was stopped: that of a process the request would have
  // ended (128 + the signal's number; STATUS_CONTROL_C_EXIT on Windows).
  int ExitCode() const;
  // Test-only: as if the request had come.
  void RequestForTests();
};

// Runs `run` with a display on the person's screen when `errors` is standard error and
// that is a terminal (a console on Windows); with null otherwise.
int WithPersonScreen(std::FILE* errors, const std::function<int(TerminalDisplay*)>& run);

}  // namespace pelmo
