// Test-only TCP listener on 127.0.0.1 for server behaviour that an HTTP server library will
// not produce: closing without an answer, never answering, cutting a body short. Each
// accepted connection goes to a handler on the listener's thread, in order of arrival.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/http_options.h"

namespace pelmo::net_test {

// A response that leaves the connection open for the next request.
inline std::string KeptResponse(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Options with pauses between attempts short enough for tests that fail many attempts.
inline HttpFetchOptions QuickRetries() {
  HttpFetchOptions options;
  options.firstRetryDelay = std::chrono::milliseconds(1);
  options.maxRetryDelay = std::chrono::milliseconds(2);
  return options;
}

// Reads one request head (up to the blank line), waiting at most two seconds.
inline std::string ReadRequestHead(int fd) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    pollfd readable{fd, POLLIN, 0};
    if (poll(&readable, 1, 2000) <= 0) {
      break;
    }
    const ssize_t count = recv(fd, buffer, sizeof buffer, 0);
    if (count <= 0) {
      break;
    }
    head.append(buffer, static_cast<std::size_t>(count));
  }
  return head;
}

inline void SendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t count = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (count <= 0) {
      return;
    }
    data.remove_prefix(static_cast<std::size_t>(count));
  }
}

class RawTestServer {
 public:
  // What to do with a connection once the handler returns.
  enum class After { Close, KeepOpen };
  // Called with the connected socket and the 0-based number of the connection.
  using Handler = std::function<After(int fd, int index)>;

  explicit RawTestServer(Handler handler) : handler_(std::move(handler)) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        listen(listener_, 64) == 0 &&
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
    thread_ = std::thread([this] { Serve(); });
  }

  ~RawTestServer() {
    stopping_ = true;
    thread_.join();
    for (int fd : held_) {
      close(fd);
    }
    close(listener_);
  }

  RawTestServer(const RawTestServer&) = delete;
  RawTestServer& operator=(const RawTestServer&) = delete;

  int port() const { return port_; }
  std::string Url(std::string_view scheme, std::string_view path) const {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + std::string(path);
  }
  int connections() const { return connections_; }
  // The request heads read by handlers through Remember.
  std::vector<std::string> requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  void Remember(std::string head) {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(std::move(head));
  }

 private:
  void Serve() {
    while (!stopping_) {
      pollfd readable{listener_, POLLIN, 0};
      if (poll(&readable, 1, 20) <= 0) {
        continue;
      }
      const int fd = accept(listener_, nullptr, nullptr);
      if (fd < 0) {
        continue;
      }
      const int index = connections_++;
      if (handler_(fd, index) == After::KeepOpen) {
        held_.push_back(fd);
      } else {
        close(fd);
      }
    }
  }

  Handler handler_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::vector<int> held_;
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace pelmo::net_test
