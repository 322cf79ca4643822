#include "app/console/terminal_signal.h"

#include <unistd.h>

#include <array>
#include <atomic>

#include "app/console/terminal_interrupt.h"

namespace pelmo {
namespace {

constexpr std::array<int, 2> kSignals = {SIGINT, SIGTERM};
constexpr char kErase[] = "\r\033[K";

std::atomic<int> shownFd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

// What each signal did before; written only while our handler is not installed.
std::array<struct sigaction, kSignals.size()> previous{};
std::array<bool, kSignals.size()> installed{};

std::size_t IndexOf(int signal) {
  return signal == SIGINT ? 0 : 1;
}

void OnSignal(int signal, siginfo_t* info, void* context) {
  EraseStatusLineFromSignal();
  WriteInterruptNoteFromSignal(signal);
  // The line is gone; from here the signal is the earlier handler's alone. Putting it back
  // first matters: an earlier handler that ends the process by raising the signal again
  // would otherwise have it delivered here, and call it again, for ever.
  const struct sigaction& before = previous[IndexOf(signal)];
  ::sigaction(signal, &before, nullptr);
  if ((before.sa_flags & SA_SIGINFO) != 0) {
    before.sa_sigaction(signal, info, context);
  } else if (before.sa_handler == SIG_DFL) {
    // The signal stays blocked until this handler returns; then the default action ends
    // the process as it would have without us.
    ::raise(signal);
  } else if (before.sa_handler != SIG_IGN) {
    before.sa_handler(signal);
  }
}

}  // namespace

void SetShownStatusLine(int fd) noexcept {
  shownFd.store(fd);
}

void EraseStatusLineFromSignal() noexcept {
  const int fd = shownFd.exchange(-1);
  if (fd >= 0) {
    // Nothing can be done about a failed write to the terminal.
    [[maybe_unused]] const ssize_t written = ::write(fd, kErase, sizeof kErase - 1);
  }
}

StatusLineSignals::StatusLineSignals() {
  for (std::size_t i = 0; i < kSignals.size(); ++i) {
    struct sigaction current {};
    ::sigaction(kSignals[i], nullptr, &current);
    if ((current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_IGN) {
      continue;
    }
    previous[i] = current;
    // The earlier handler keeps its mask and whether interrupted calls restart.
    struct sigaction ours = current;
    ours.sa_sigaction = OnSignal;
    ours.sa_flags = SA_SIGINFO | (current.sa_flags & SA_RESTART);
    installed[i] = ::sigaction(kSignals[i], &ours, nullptr) == 0;
  }
}

StatusLineSignals::~StatusLineSignals() {
  for (std::size_t i = 0; i < kSignals.size(); ++i) {
    if (installed[i]) {
      ::sigaction(kSignals[i], &previous[i], nullptr);
      installed[i] = false;
    }
  }
}

}  // namespace pelmo
