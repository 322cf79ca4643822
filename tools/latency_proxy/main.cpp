// latency-proxy --target HOST:PORT [--rtt-ms N] [--port N]: see latency_proxy.h. The first
// line of standard output is the listening port; SIGINT or SIGTERM stops it.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>

#include "tools/latency_proxy/latency_proxy.h"

namespace {

using pelmo::latency_proxy::ProxyOptions;

bool ToNumber(std::string_view text, int& value) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return !text.empty() && error == std::errc{} && stop == end && value >= 0;
}

bool ParseArgs(int argc, char** argv, ProxyOptions& options) {
  bool haveTarget = false;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view name = argv[i];
    const std::string_view value = argv[i + 1];
    int number = 0;
    if (name == "--target") {
      const std::size_t colon = value.rfind(':');
      haveTarget =
          colon != std::string_view::npos && ToNumber(value.substr(colon + 1), options.targetPort);
      options.targetHost = std::string(value.substr(0, colon));
    } else if (name == "--rtt-ms" && ToNumber(value, number)) {
      options.roundTrip = std::chrono::milliseconds(number);
    } else if (name == "--port" && ToNumber(value, number)) {
      options.listenPort = number;
    } else {
      return false;
    }
  }
  return haveTarget && argc % 2 == 1;
}

}  // namespace

int main(int argc, char** argv) {
  ProxyOptions options;
  if (!ParseArgs(argc, argv, options)) {
    std::fputs("Usage: latency-proxy --target HOST:PORT [--rtt-ms N] [--port N]\n", stderr);
    return 1;
  }
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  pelmo::latency_proxy::LatencyProxy proxy(options);
  std::string error;
  const int port = proxy.Listen(error);
  if (port < 0) {
    std::fprintf(stderr, "latency-proxy: %s\n", error.c_str());
    return 1;
  }
  std::printf("%d\n", port);
  std::fflush(stdout);
  std::atomic<bool> stop{false};
  std::thread waiter([&stop, signals] {
    int received = 0;
    sigwait(&signals, &received);
    stop = true;
  });
  proxy.Run(stop);
  waiter.join();
  return 0;
}
