#include "net/received_text.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>

namespace pelmo {

ReceivedText::Status ReceivedText::Append(std::string_view chunk) {
  bytesIn_ += chunk.size();
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
  // Written in place: a page has hundreds of short lines, and two appends per line cost
  // more than the bytes themselves.
  const std::size_t oldSize = text_.size();
  text_.resize(oldSize + growth);
  char* out = text_.data() + oldSize;
  const char* in = chunk.data();
  const char* const end = in + chunk.size();
  while (in < end) {
    const auto* lf = static_cast<const char*>(std::memchr(in, '\n', end - in));
    const char* const lineEnd = lf == nullptr ? end : lf;
    std::memcpy(out, in, static_cast<std::size_t>(lineEnd - in));
    out += lineEnd - in;
    if (lf == nullptr) {
      break;
    }
    *out++ = '\r';
    *out++ = '\n';
    in = lf + 1;
  }
  assert(out == text_.data() + text_.size());
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
