#include "app/console/terminal_stream.h"

#include <fcntl.h>
#include <io.h>

#include <memory>
#include <thread>

namespace pelmo {
namespace {

constexpr unsigned kPipeSize = 64 * 1024;

// The C library here cannot call back on a write, so the stream is a pipe whose other end a
// thread reads until the stream is closed.
void FeedUntilClosed(int readEnd, TerminalLineFeed& feed) {
  char chunk[4096];
  for (int got; (got = ::_read(readEnd, chunk, sizeof chunk)) > 0;) {
    feed.Feed(std::string_view(chunk, static_cast<std::size_t>(got)));
  }
  feed.Finish();
  ::_close(readEnd);
}

}  // namespace

TerminalStream OpenTerminalStream(TerminalDisplay& display, const NoteConverter* converter) {
  int ends[2] = {-1, -1};
  if (::_pipe(ends, kPipeSize, _O_BINARY) != 0) {
    return {};
  }
  std::FILE* file = ::_fdopen(ends[1], "wb");
  if (file == nullptr) {
    ::_close(ends[0]);
    ::_close(ends[1]);
    return {};
  }
  auto feed = std::make_shared<TerminalLineFeed>(display, converter);
  auto reader = std::make_shared<std::thread>(FeedUntilClosed, ends[0], std::ref(*feed));
  // Closing the write end ends the reader's loop; joining it waits for the last line.
  return TerminalStream(file, [reader, feed] { reader->join(); });
}

}  // namespace pelmo
