// Test-only: a pipe that stands in for the terminal, whose bytes can be read back.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace pelmo {

class TerminalPipeForTest {
 public:
  TerminalPipeForTest() {
    if (::pipe(fds_) != 0) {
      throw std::runtime_error("pipe failed");
    }
    ::fcntl(fds_[0], F_SETFL, O_NONBLOCK);
  }
  ~TerminalPipeForTest() {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  TerminalPipeForTest(const TerminalPipeForTest&) = delete;
  TerminalPipeForTest& operator=(const TerminalPipeForTest&) = delete;

  int fd() const { return fds_[1]; }

  // What was written since the last call.
  std::string Take() {
    std::string bytes;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fds_[0], buffer, sizeof buffer)) > 0) {
      bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
  }

 private:
  int fds_[2] = {-1, -1};
};

}  // namespace pelmo
