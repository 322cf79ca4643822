#include "app/codes/codes_system.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>

#include "app/console/console_sink.h"

namespace pelmo {
namespace {

constexpr unsigned kPipeSize = 64 * 1024;

// Set by the console control handler, which runs on a thread of its own.
std::atomic<bool> stopRequested{false};

// Ctrl+C and Ctrl+Break are taken here; closing the window, logging off and shutting down
// go on to the handler that removes the temporary files and ends the process.
BOOL WINAPI OnStopControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
    return FALSE;
  }
  stopRequested.store(true);
  return TRUE;
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return ::GetConsoleMode(handle, &mode) != 0;
}

// The C library here cannot call back on a write, so the stream is a pipe whose other end a
// thread reads until the stream is closed.
void FeedUntilClosed(int readEnd, const std::function<void(std::string_view)>& feed) {
  char chunk[4096];
  for (int got; (got = ::_read(readEnd, chunk, sizeof chunk)) > 0;) {
    feed(std::string_view(chunk, static_cast<std::size_t>(got)));
  }
  ::_close(readEnd);
}

}  // namespace

TerminalStream OpenFeedStream(std::function<void(std::string_view)> feed) {
  int ends[2] = {-1, -1};
  if (::_pipe(ends, kPipeSize, _O_BINARY) != 0) {
    return {};
  }
  std::FILE* file = ::_fdopen(ends[1], "wb");
  if (file == nullptr) {
    ::_close(ends[0]);
    ::_close(ends[1]);
    return {};
  }
  auto owned = std::make_shared<std::function<void(std::string_view)>>(std::move(feed));
  auto reader = std::make_shared<std::thread>(FeedUntilClosed, ends[0], std::cref(*owned));
  // Closing the write end ends the reader's loop; joining it waits for the last bytes.
  return TerminalStream(file, [reader, owned] { reader->join(); });
}

CodesStopRequest::CodesStopRequest() {
  stopRequested.store(false);
  ::SetConsoleCtrlHandler(OnStopControl, TRUE);
}

CodesStopRequest::~CodesStopRequest() {
  ::SetConsoleCtrlHandler(OnStopControl, FALSE);
}

bool CodesStopRequest::Requested() const {
  return stopRequested.load();
}

int CodesStopRequest::ExitCode() const {
  return static_cast<int>(STATUS_CONTROL_C_EXIT);
}

void CodesStopRequest::RequestForTests() {
  OnStopControl(CTRL_C_EVENT);
}

int WithPersonScreen(std::FILE* errors, const std::function<int(TerminalDisplay*)>& run) {
  const HANDLE console = ::GetStdHandle(STD_ERROR_HANDLE);
  if (errors != stderr || !IsConsole(console)) {
    return run(nullptr);
  }
  ConsoleSink sink(ConsoleOutputOf(console));
  TerminalDisplay display(sink);
  return run(&display);
}

}  // namespace pelmo
