#include "net/received_text.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace pelmo {

ReceivedText::Status ReceivedText::Append(std::string_view chunk) {
  if (status_ != Status::Open) {
    return status_;
  }
  const std::size_t zero = chunk.find('\0');
  if (zero != std::string_view::npos) {
    chunk = chunk.substr(0, zero);
  }
  // Size the growth first: the limit is checked once and the copy below never reallocates.
  const auto lineFeeds = static_cast<std::size_t>(std::count(chunk.begin(), chunk.end(), '\n'));
  const std::size_t growth = chunk.size() + lineFeeds;
  if (growth > limit_ - text_.size()) {
    return Drop();
  }
  try {
    text_.reserve(text_.size() + growth);
  } catch (const std::bad_alloc&) {
    // Under a memory limit a page that fits the cap may still not fit the process: it
    // is refused like an oversized one, and the run goes on with the next window.
    return Drop();
  }
  const char* in = chunk.data();
  const char* const end = in + chunk.size();
  while (in < end) {
    const auto* lf = static_cast<const char*>(std::memchr(in, '\n', end - in));
    if (lf == nullptr) {
      text_.append(in, end);
      break;
    }
    text_.append(in, lf);
    text_.append("\r\n", 2);
    in = lf + 1;
  }
  if (zero != std::string_view::npos) {
    status_ = Status::Ended;
  }
  return status_;
}

void ReceivedText::Reserve(std::size_t expected) {
  try {
    text_.reserve(std::min(expected, limit_));
  } catch (const std::bad_alloc&) {
    // Only a hint: Append finds out whether the text itself fits.
  }
}

ReceivedText::Status ReceivedText::Drop() {
  status_ = Status::TooLarge;
  text_.clear();
  text_.shrink_to_fit();
  return status_;
}

}  // namespace pelmo
