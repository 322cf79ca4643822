// A TCP forwarder that makes a loopback link look like a slow one: each direction's bytes
// arrive half a round trip after they were sent, and a new connection passes nothing for one
// round trip first (the handshake a real link costs). Used by the benchmarks.
//
// One thread serves every connection; bytes are forwarded unchanged and in order.
#pragma once

#include <atomic>
#include <chrono>
#include <string>

namespace pelmo::latency_proxy {

struct ProxyOptions {
  int listenPort = 0;  // on 127.0.0.1; 0 picks a free port
  std::string targetHost = "127.0.0.1";
  int targetPort = 0;
  std::chrono::milliseconds roundTrip{50};
};

class LatencyProxy {
 public:
  explicit LatencyProxy(ProxyOptions options) : options_(std::move(options)) {}
  ~LatencyProxy();
  LatencyProxy(const LatencyProxy&) = delete;
  LatencyProxy& operator=(const LatencyProxy&) = delete;

  // Opens the listening socket; returns its port, or -1 with `error` set.
  int Listen(std::string& error);

  // Forwards until `stop` becomes true (checked at least every 100 ms).
  void Run(const std::atomic<bool>& stop);

 private:
  ProxyOptions options_;
  int listener_ = -1;
};

}  // namespace pelmo::latency_proxy
