// An httplib::Stream over one accepted socket, with time-outs on every wait.
//
// The server handles each connection itself (to be able to drop some unanswered), so it
// needs a stream of its own; reads are buffered because the request parser reads the head
// one byte at a time.
#pragma once

#include <httplib.h>

#include <array>
#include <cstddef>
#include <string>

namespace pelmo::quote_server {

class ConnectionStream : public httplib::Stream {
 public:
  // Does not take ownership of `socket`.
  ConnectionStream(int socket, int timeoutMilliseconds);

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return socket_; }

  // Reads until the end of a request head (an empty line), the peer's close, a time-out or
  // 64 KiB; returns what was read.
  std::string ReadHead();

  // True when a further request has begun to arrive within `milliseconds` (or was already
  // read ahead); false when the peer closed the connection or stayed silent.
  bool WaitForRequest(int milliseconds);

 private:
  bool Wait(short events) const;

  int socket_;
  int timeoutMilliseconds_;
  std::array<char, 4096> buffer_{};
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
};

}  // namespace pelmo::quote_server
