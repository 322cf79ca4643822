#include "app/console/terminal_stream.h"

#include <memory>

namespace pelmo {
namespace {

ssize_t WriteToDisplay(void* cookie, const char* data, std::size_t size) {
  static_cast<TerminalLineFeed*>(cookie)->Feed(std::string_view(data, size));
  return static_cast<ssize_t>(size);
}

int CloseDisplayStream(void* cookie) {
  // The stream owned the feed since it was opened.
  const std::unique_ptr<TerminalLineFeed> feed(static_cast<TerminalLineFeed*>(cookie));
  feed->Finish();
  return 0;
}

}  // namespace

TerminalStream OpenTerminalStream(TerminalDisplay& display, const NoteConverter* converter) {
  auto feed = std::make_unique<TerminalLineFeed>(display, converter);
  cookie_io_functions_t functions{};
  functions.write = WriteToDisplay;
  functions.close = CloseDisplayStream;
  std::FILE* file = ::fopencookie(feed.get(), "w", functions);
  if (file == nullptr) {
    return {};
  }
  feed.release();
  return TerminalStream(file);
}

}  // namespace pelmo
