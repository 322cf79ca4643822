#include "tools/quote_server/connection_stream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace pelmo::quote_server {

namespace {

void AddressOf(const sockaddr_storage& address, std::string& ip, int& port) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
    inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    port = ntohs(v4.sin_port);
  } else if (address.ss_family == AF_INET6) {
    const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
    inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
    port = ntohs(v6.sin6_port);
  }
  ip = text;
}

}  // namespace

ConnectionStream::ConnectionStream(int socket, int timeoutMilliseconds)
    : socket_(socket), timeoutMilliseconds_(timeoutMilliseconds) {}

bool ConnectionStream::Wait(short events) const {
  pollfd entry{socket_, events, 0};
  int ready = 0;
  do {
    ready = ::poll(&entry, 1, timeoutMilliseconds_);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

bool ConnectionStream::is_readable() const {
  return begin_ < end_ || Wait(POLLIN);
}

bool ConnectionStream::is_writable() const {
  return Wait(POLLOUT);
}

ssize_t ConnectionStream::read(char* ptr, size_t size) {
  if (begin_ == end_) {
    if (!Wait(POLLIN)) {
      return -1;
    }
    ssize_t got = 0;
    do {
      got = ::recv(socket_, buffer_.data(), buffer_.size(), 0);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
      return got;
    }
    begin_ = 0;
    end_ = static_cast<std::size_t>(got);
  }
  const std::size_t count = std::min(size, end_ - begin_);
  std::memcpy(ptr, buffer_.data() + begin_, count);
  begin_ += count;
  return static_cast<ssize_t>(count);
}

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
  if (!Wait(POLLOUT)) {
    return -1;
  }
  ssize_t sent = 0;
  do {
    sent = ::send(socket_, ptr, size, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent;
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getpeername(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    AddressOf(address, ip, port);
  }
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    AddressOf(address, ip, port);
  }
}

std::string ConnectionStream::ReadHead() {
  constexpr std::size_t kLimit = 64 * 1024;
  std::string head;
  char chunk[1024];
  while (head.size() < kLimit && head.find("\r\n\r\n") == std::string::npos) {
    const ssize_t got = read(chunk, sizeof chunk);
    if (got <= 0) {
      break;
    }
    head.append(chunk, static_cast<std::size_t>(got));
  }
  return head;
}

bool ConnectionStream::WaitForRequest(int milliseconds) {
  if (begin_ < end_) {
    return true;
  }
  pollfd entry{socket_, POLLIN, 0};
  int ready = 0;
  do {
    ready = ::poll(&entry, 1, milliseconds);
  } while (ready < 0 && errno == EINTR);
  // A close is readable too; the next read finds it and ends the connection.
  return ready > 0;
}

}  // namespace pelmo::quote_server
