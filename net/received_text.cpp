#include "net/received_text.h"

#include <algorithm>
#include <cstring>

namespace pelmo {

ReceivedText::Status ReceivedText::Append(std::string_view chunk) {
  if (status_ != Status::Open) {
    return status_;
  }
  const std::size_t zero = chunk.find('\0');
  if (zero != std::string_view::npos) {
    chunk = chunk.substr(0, zero);
  }
  // Size the growth first so the copy below runs without reallocation.
  const auto lineFeeds = static_cast<std::size_t>(std::count(chunk.begin(), chunk.end(), '\n'));
  const std::size_t growth = chunk.size() + lineFeeds;
  if (growth > limit_ - text_.size()) {
    status_ = Status::TooLarge;
    text_.clear();
    return status_;
  }
  const std::size_t oldSize = text_.size();
  text_.resize(oldSize + growth);
  char* out = text_.data() + oldSize;
  const char* in = chunk.data();
  const char* const end = in + chunk.size();
  while (in < end) {
    const auto* lf = static_cast<const char*>(std::memchr(in, '\n', end - in));
    const char* runEnd = lf != nullptr ? lf : end;
    std::memcpy(out, in, runEnd - in);
    out += runEnd - in;
    if (lf == nullptr) {
      break;
    }
    *out++ = '\r';
    *out++ = '\n';
    in = lf + 1;
  }
  if (zero != std::string_view::npos) {
    status_ = Status::Ended;
  }
  return status_;
}

}  // namespace pelmo
