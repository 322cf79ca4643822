#include "tools/quote_server/server_main.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <string_view>
#include <thread>
#include <vector>

#include "tools/quote_server/command_line.h"
#include "tools/quote_server/quote_server.h"

namespace pelmo::quote_server {

namespace {

sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

int Serve(const ServerOptions& options) {
  // The stop signals are taken by one waiting thread instead of a handler, so stopping is
  // ordinary code; the server's threads inherit the blocked mask.
  const sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  QuoteServer server(options);
  const BindResult bound = server.Bind();
  if (bound.port < 0) {
    std::fprintf(stderr, "quote-server: %s\n", bound.error.c_str());
    return 1;
  }
  std::printf("%d\n", bound.port);
  std::fflush(stdout);
  std::fprintf(stderr, "quote-server: serving %s://%s:%d/ until SIGINT or SIGTERM\n",
               options.certPath.empty() ? "http" : "https", options.bindAddress.c_str(),
               bound.port);
  std::atomic<bool> signalled{false};
  std::thread waiter([&server, &signalled, signals] {
    int received = 0;
    sigwait(&signals, &received);
    signalled = true;
    server.Stop();
  });
  server.Serve();
  const bool failed = !signalled;
  if (failed) {
    // The accept loop failed by itself: wake the waiter so that it can be joined.
    std::fprintf(stderr, "quote-server: the server stopped accepting connections\n");
    pthread_kill(waiter.native_handle(), SIGTERM);
  }
  waiter.join();
  return failed ? 1 : 0;
}

}  // namespace

int QuoteServerMain(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  const CommandLine line = ParseCommandLine(args);
  if (!line.error.empty()) {
    std::fprintf(stderr, "quote-server: %s\n%s", line.error.c_str(), kUsage);
    return 1;
  }
  if (line.help) {
    std::fputs(HelpText().c_str(), stdout);
    return 0;
  }
  return Serve(line.options);
}

}  // namespace pelmo::quote_server
