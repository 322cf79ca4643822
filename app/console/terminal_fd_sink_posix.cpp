#include "app/console/terminal_fd_sink.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "app/console/terminal_signal.h"

namespace pelmo {
namespace {

constexpr std::string_view kEraseLine = "\r\033[K";
constexpr std::size_t kDefaultWidth = 80;

// Failures are ignored: a terminal that cannot be written to shows nothing either way.
void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

void FdTerminalSink::Write(std::string_view bytes) {
  WriteAll(fd_, bytes);
}

void FdTerminalSink::DrawStatus(std::string_view text) {
  SetShownStatusLine(fd_);
  std::string line = "\r";
  line += text;
  line += "\033[K";
  WriteAll(fd_, line);
}

void FdTerminalSink::EraseStatus() {
  // Erased first, forgotten after: a signal in between erases once more, which is harmless.
  WriteAll(fd_, kEraseLine);
  SetShownStatusLine(-1);
}

std::size_t FdTerminalSink::Width() const {
  struct winsize size {};
  if (::ioctl(fd_, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) {
    return kDefaultWidth;
  }
  return size.ws_col;
}

}  // namespace pelmo
