#include "app/codes/codes_system.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <memory>

#include "app/console/terminal_fd_sink.h"

namespace pelmo {
namespace {

constexpr std::array<int, 3> kStopSignals = {SIGINT, SIGTERM, SIGHUP};

// The signal that asked the run to stop, 0 while none has. A handler can reach nothing
// else; the atomic is lock-free, so the handler may store into it.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

// The actions in place before the run, restored after it.
std::array<struct sigaction, kStopSignals.size()> savedActions;

extern "C" void OnStopSignal(int signalNumber) {
  int expected = 0;
  stopSignal.compare_exchange_strong(expected, signalNumber);
}

ssize_t WriteToFeed(void* cookie, const char* data, std::size_t size) {
  (*static_cast<std::function<void(std::string_view)>*>(cookie))(std::string_view(data, size));
  return static_cast<ssize_t>(size);
}

int CloseFeed(void* cookie) {
  delete static_cast<std::function<void(std::string_view)>*>(cookie);
  return 0;
}

}  // namespace

TerminalStream OpenFeedStream(std::function<void(std::string_view)> feed) {
  auto owned = std::make_unique<std::function<void(std::string_view)>>(std::move(feed));
  cookie_io_functions_t functions{};
  functions.write = WriteToFeed;
  functions.close = CloseFeed;
  std::FILE* file = ::fopencookie(owned.get(), "w", functions);
  if (file == nullptr) {
    return {};
  }
  owned.release();
  return TerminalStream(file);
}

CodesStopRequest::CodesStopRequest() {
  stopSignal.store(0);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // A request in flight is not cut short by the signal; it ends within its own bounds.
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
    ::sigaction(kStopSignals[i], &action, &savedActions[i]);
  }
}

CodesStopRequest::~CodesStopRequest() {
  for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
    ::sigaction(kStopSignals[i], &savedActions[i], nullptr);
  }
}

bool CodesStopRequest::Requested() const {
  return stopSignal.load() != 0;
}

int CodesStopRequest::ExitCode() const {
  return 128 + stopSignal.load();
}

void CodesStopRequest::RequestForTests() {
  OnStopSignal(SIGINT);
}

int WithPersonScreen(std::FILE* errors, const std::function<int(TerminalDisplay*)>& run) {
  if (errors != stderr || ::isatty(STDERR_FILENO) != 1) {
    return run(nullptr);
  }
  FdTerminalSink sink(STDERR_FILENO);
  TerminalDisplay display(sink);
  return run(&display);
}

}  // namespace pelmo
