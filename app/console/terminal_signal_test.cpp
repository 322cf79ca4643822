#include "app/console/terminal_signal.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>

#include "app/console/terminal_display.h"
#include "app/console/terminal_fd_sink.h"
#include "app/tests/terminal_pipe_for_test.h"

namespace pelmo {
namespace {

std::atomic<int> earlierHandlerCalls{0};
void EarlierHandler(int) {
  ++earlierHandlerCalls;
}

// Puts `handler` in place for SIGINT and the earlier action back at the end.
class SigintFor {
 public:
  explicit SigintFor(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &saved_);
  }
  ~SigintFor() { ::sigaction(SIGINT, &saved_, nullptr); }
  SigintFor(const SigintFor&) = delete;
  SigintFor& operator=(const SigintFor&) = delete;

 private:
  struct sigaction saved_ {};
};

void (*CurrentSigint())(int) {
  struct sigaction current {};
  ::sigaction(SIGINT, nullptr, &current);
  return (current.sa_flags & SA_SIGINFO) != 0 ? nullptr : current.sa_handler;
}

TEST(StatusLineSignals, EraseThenRunTheEarlierHandler) {
  const SigintFor earlier(EarlierHandler);
  earlierHandlerCalls = 0;
  TerminalPipeForTest pipe;
  FdTerminalSink sink(pipe.fd());
  TerminalDisplay display(sink);
  {
    const StatusLineSignals signals;
    display.SetStatus("status");
    pipe.Take();
    ::raise(SIGINT);
    EXPECT_EQ(pipe.Take(), "\r\033[K");
    EXPECT_EQ(earlierHandlerCalls, 1);
    // Nothing shown: the earlier handler alone.
    ::raise(SIGINT);
    EXPECT_EQ(pipe.Take(), "");
    EXPECT_EQ(earlierHandlerCalls, 2);
  }
  EXPECT_EQ(CurrentSigint(), &EarlierHandler);
  display.ClearStatus();
}

TEST(StatusLineSignals, IgnoredSignalStaysIgnored) {
  const SigintFor ignored(SIG_IGN);
  TerminalPipeForTest pipe;
  FdTerminalSink sink(pipe.fd());
  TerminalDisplay display(sink);
  const StatusLineSignals signals;
  EXPECT_EQ(CurrentSigint(), SIG_IGN);
  display.SetStatus("status");
  pipe.Take();
  ::raise(SIGINT);
  EXPECT_EQ(pipe.Take(), "");
  display.ClearStatus();
}

// As pelmo's own cleanup handler does: reset to the default on entry, then raise again.
void RaiseAgainHandler(int signal) {
  ::raise(signal);
}

// An earlier handler that ends the process by raising the signal again must end it, once
// the line is erased, and not have the signal come back to the status line's handler.
TEST(StatusLineSignals, EarlierHandlerThatRaisesAgainEndsTheProcess) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::alarm(10);  // a signal going round for ever ends here with SIGALRM
    struct sigaction action {};
    action.sa_handler = RaiseAgainHandler;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    const StatusLineSignals signals;
    ::raise(SIGINT);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), SIGINT);
}

}  // namespace
}  // namespace pelmo
