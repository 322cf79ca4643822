#include "tools/latency_proxy/latency_proxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <list>
#include <string>
#include <vector>

namespace pelmo::latency_proxy {
namespace {

using Clock = std::chrono::steady_clock;

// Bytes on their way in one direction, each piece with the moment it may be delivered.
struct Direction {
  struct Piece {
    Clock::time_point due;
    std::string bytes;  // empty: the sender closed; pass the close on
  };
  int from = -1;
  int to = -1;
  std::deque<Piece> pieces;
  bool readClosed = false;   // the sender's end is read to its close
  bool writeClosed = false;  // the close was passed on
};

struct Connection {
  Clock::time_point open;  // nothing passes before this
  Direction up;            // client to service
  Direction down;          // service to client
  bool Done() const { return up.writeClosed && down.writeClosed; }
};

void SetNonBlocking(int fd) {
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  const int yes = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

int ConnectTo(const std::string& host, int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (fd < 0 || inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1 ||
      connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (fd >= 0) {
      close(fd);
    }
    return -1;
  }
  SetNonBlocking(fd);
  return fd;
}

// Reads what has arrived at `d.from` and queues it for delivery half a round trip later (and
// not before the connection is open).
void ReadSide(Direction& d, Clock::time_point earliest, Clock::duration half) {
  char buffer[65536];
  const ssize_t got = recv(d.from, buffer, sizeof buffer, 0);
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
    return;
  }
  const Clock::time_point due = std::max(Clock::now(), earliest) + half;
  if (got <= 0) {
    // An orderly close or a reset: either way the other side sees the end after the delay.
    d.readClosed = true;
    d.pieces.push_back({due, std::string()});
    return;
  }
  d.pieces.push_back({due, std::string(buffer, static_cast<std::size_t>(got))});
}

// Delivers the pieces that are due, as far as the receiver takes them.
void WriteSide(Direction& d) {
  const Clock::time_point now = Clock::now();
  while (!d.pieces.empty() && d.pieces.front().due <= now && !d.writeClosed) {
    Direction::Piece& piece = d.pieces.front();
    if (piece.bytes.empty()) {
      shutdown(d.to, SHUT_WR);
      d.writeClosed = true;
      break;
    }
    const ssize_t sent = send(d.to, piece.bytes.data(), piece.bytes.size(), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EAGAIN || errno == EINTR) {
        return;
      }
      // The receiver is gone: drop the rest of this direction.
      d.pieces.clear();
      d.writeClosed = true;
      return;
    }
    piece.bytes.erase(0, static_cast<std::size_t>(sent));
    if (!piece.bytes.empty()) {
      return;
    }
    d.pieces.pop_front();
  }
}

int MillisecondsUntil(Clock::time_point when) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, 100));
}

}  // namespace

LatencyProxy::~LatencyProxy() {
  if (listener_ >= 0) {
    close(listener_);
  }
}

int LatencyProxy::Listen(std::string& error) {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  const int yes = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(options_.listenPort));
  socklen_t length = sizeof address;
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      listen(listener_, 64) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    error = "cannot listen on 127.0.0.1 port " + std::to_string(options_.listenPort);
    return -1;
  }
  SetNonBlocking(listener_);
  return ntohs(address.sin_port);
}

void LatencyProxy::Run(const std::atomic<bool>& stop) {
  const Clock::duration half = options_.roundTrip / 2;
  std::list<Connection> connections;
  while (!stop) {
    std::vector<pollfd> fds{{listener_, POLLIN, 0}};
    int timeout = 100;
    for (Connection& c : connections) {
      for (Direction* d : {&c.up, &c.down}) {
        if (!d->readClosed) {
          fds.push_back({d->from, POLLIN, 0});
        }
        if (!d->pieces.empty()) {
          timeout = std::min(timeout, MillisecondsUntil(d->pieces.front().due));
          if (d->pieces.front().due <= Clock::now()) {
            fds.push_back({d->to, POLLOUT, 0});
          }
        }
      }
    }
    poll(fds.data(), fds.size(), timeout);
    if (fds[0].revents & POLLIN) {
      const int client = accept(listener_, nullptr, nullptr);
      const int service = client < 0 ? -1 : ConnectTo(options_.targetHost, options_.targetPort);
      if (service < 0) {
        if (client >= 0) {
          close(client);
        }
      } else {
        SetNonBlocking(client);
        Connection& c = connections.emplace_back();
        c.open = Clock::now() + options_.roundTrip;
        c.up.from = c.down.to = client;
        c.up.to = c.down.from = service;
      }
    }
    // Reading and writing are tried on every round; the sockets are non-blocking, so a side
    // with nothing to do costs one failed call.
    for (auto it = connections.begin(); it != connections.end();) {
      Connection& c = *it;
      if (!c.up.readClosed) {
        ReadSide(c.up, c.open, half);
      }
      if (!c.down.readClosed) {
        ReadSide(c.down, c.open, half);
      }
      WriteSide(c.up);
      WriteSide(c.down);
      if (c.Done()) {
        close(c.up.from);
        close(c.up.to);
        it = connections.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (Connection& c : connections) {
    close(c.up.from);
    close(c.up.to);
  }
}

}  // namespace pelmo::latency_proxy
