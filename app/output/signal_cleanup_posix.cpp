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

struct PendingName {
  volatile std::sig_atomic_t inUse = 0;
  char path[PATH_MAX] = {};
};

// A signal handler receives nothing but the signal number, so the names it must clean up
// can only be found in static storage. This is the program's one piece of mutable global
// state: fixed buffers, filled before a slot is marked in use, read only by the handler.
std::array<PendingName, 4> pendingNames;

extern "C" void OnTerminatingSignal(int signalNumber) {
  const int savedErrno = errno;
  for (PendingName& pending : pendingNames) {
    if (pending.inUse != 0) {
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
    if (pendingNames[i].inUse == 0 && CopyName(path, pendingNames[i].path)) {
      std::atomic_signal_fence(std::memory_order_seq_cst);
      pendingNames[i].inUse = 1;
      slot_ = static_cast<int>(i);
      return;
    }
  }
}

TemporaryNameForSignals::~TemporaryNameForSignals() {
  if (slot_ >= 0) {
    pendingNames[static_cast<std::size_t>(slot_)].inUse = 0;
  }
}

}  // namespace pelmo
