#include "app/output/signal_cleanup.h"

#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace pelmo {
namespace {

constexpr int kTerminatingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A slot is free, taken by a thread that is filling it in, or holding a name to remove.
enum SlotState : int { kFree, kFilling, kHolding };

struct PendingName {
  // Lock-free, so that the handler may read it; several codes' runs may claim slots at once.
  std::atomic<int> state{kFree};
  char path[PATH_MAX] = {};
};
static_assert(std::atomic<int>::is_always_lock_free);

// A signal handler receives nothing but the signal number, so the names it must clean up
// can only be found in static storage. This is the program's one piece of mutable global
// state: fixed buffers, filled before a slot is marked as holding a name, read only by the
// handler. Enough for every job of a list run to have its temporary names at once.
std::array<PendingName, 32> pendingNames;

extern "C" void OnTerminatingSignal(int signalNumber) {
  const int savedErrno = errno;
  for (PendingName& pending : pendingNames) {
    if (pending.state.load() == kHolding) {
      ::unlink(pending.path);
    }
  }
  errno = savedErrno;
  // The handler was reset to the default action on entry; the signal, blocked until the
  // handler returns, then ends the process as if it had not been caught.
  ::raise(signalNumber);
}

void TerminatingSignals(sigset_t& set) {
  sigemptyset(&set);
  for (const int signalNumber : kTerminatingSignals) {
    sigaddset(&set, signalNumber);
  }
}

bool CopyName(const std::string& from, char (&to)[PATH_MAX]) {
  if (from.size() >= sizeof to) {
    return false;
  }
  std::memcpy(to, from.c_str(), from.size() + 1);
  return true;
}

}  // namespace

void SetUpSignals() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  struct sigaction action {};
  action.sa_handler = OnTerminatingSignal;
  action.sa_flags = SA_RESETHAND;
  TerminatingSignals(action.sa_mask);
  for (const int signalNumber : kTerminatingSignals) {
    ::sigaction(signalNumber, &action, nullptr);
  }
}

struct SavedSignalMask {
  sigset_t mask;
};

SignalsHeldBack::SignalsHeldBack() : saved_(std::make_unique<SavedSignalMask>()) {
  sigset_t held;
  TerminatingSignals(held);
  ::sigprocmask(SIG_BLOCK, &held, &saved_->mask);
}

SignalsHeldBack::~SignalsHeldBack() {
  ::sigprocmask(SIG_SETMASK, &saved_->mask, nullptr);
}

TemporaryNameForSignals::TemporaryNameForSignals(const std::string& path) : slot_(-1) {
  for (std::size_t i = 0; i < pendingNames.size(); ++i) {
    int expected = kFree;
    if (!pendingNames[i].state.compare_exchange_strong(expected, kFilling)) {
      continue;
    }
    if (!CopyName(path, pendingNames[i].path)) {
      pendingNames[i].state.store(kFree);
      return;
    }
    pendingNames[i].state.store(kHolding);
    slot_ = static_cast<int>(i);
    return;
  }
}

TemporaryNameForSignals::~TemporaryNameForSignals() {
  if (slot_ >= 0) {
    pendingNames[static_cast<std::size_t>(slot_)].state.store(kFree);
  }
}

}  // namespace pelmo
