#include "app/signal_cleanup.h"

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

enum SlotState : int { kFree = 0, kRemove = 1, kRename = 2 };

struct PendingName {
  volatile std::sig_atomic_t state = kFree;
  char path[PATH_MAX] = {};
  char target[PATH_MAX] = {};
};

// A signal handler receives nothing but the signal number, so the names it must clean up
// can only be found in static storage. This is the program's one piece of mutable global
// state: fixed buffers, filled before a slot is marked in use, read only by the handler.
std::array<PendingName, 4> pendingNames;

extern "C" void OnTerminatingSignal(int signalNumber) {
  const int savedErrno = errno;
  for (PendingName& pending : pendingNames) {
    if (pending.state == kRemove) {
      ::unlink(pending.path);
    } else if (pending.state == kRename) {
      ::rename(pending.path, pending.target);
    }
  }
  errno = savedErrno;
  // The handler was reset to the default action on entry; the signal, blocked until the
  // handler returns, then ends the process as if it had not been caught.
  ::raise(signalNumber);
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
  sigemptyset(&action.sa_mask);
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    sigaddset(&action.sa_mask, signalNumber);
  }
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    ::sigaction(signalNumber, &action, nullptr);
  }
}

TemporaryNameForSignals::TemporaryNameForSignals(const std::string& path) : slot_(-1) {
  for (std::size_t i = 0; i < pendingNames.size(); ++i) {
    if (pendingNames[i].state == kFree && CopyName(path, pendingNames[i].path)) {
      std::atomic_signal_fence(std::memory_order_seq_cst);
      pendingNames[i].state = kRemove;
      slot_ = static_cast<int>(i);
      return;
    }
  }
}

TemporaryNameForSignals::~TemporaryNameForSignals() {
  if (slot_ >= 0) {
    pendingNames[static_cast<std::size_t>(slot_)].state = kFree;
  }
}

void TemporaryNameForSignals::RenameOnSignal(const std::string& target) {
  if (slot_ < 0) {
    return;
  }
  PendingName& pending = pendingNames[static_cast<std::size_t>(slot_)];
  // While the slot says remove, the handler does not look at the target being copied in.
  if (CopyName(target, pending.target)) {
    std::atomic_signal_fence(std::memory_order_seq_cst);
    pending.state = kRename;
  }
}

}  // namespace pelmo
