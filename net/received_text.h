// The text of a response body as it arrives in chunks.
//
// Every LF byte is stored as CR LF (so CR LF becomes CR CR LF), the first zero byte ends the
// text, and the stored text may not grow beyond a limit. Chunk boundaries do not matter:
// the expansion looks at one byte at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace pelmo {

class ReceivedText {
 public:
  enum class Status {
    Open,      // more may follow
    Ended,     // a zero byte was seen; further chunks are ignored
    TooLarge,  // the text would have exceeded the limit, or memory for it could not be had;
               // it is incomplete and must be dropped
  };

  explicit ReceivedText(std::size_t limit) : limit_(limit) {}

  // Makes room for a text of about `expected` bytes (capped at the limit), so that a body
  // of announced length is stored without growing step by step. Without the memory for it
  // nothing changes. Neither this nor Append throws.
  void Reserve(std::size_t expected);

  // Adds a chunk of the body. Once the status is no longer Open, chunks are ignored.
  Status Append(std::string_view chunk);

  Status status() const { return status_; }
  // Bytes handed to Append so far, as they came (before expansion, ignored ones included).
  std::uint64_t bytesIn() const { return bytesIn_; }
  const std::string& text() const { return text_; }
  std::string TakeText() { return std::move(text_); }

 private:
  // Ends the text as TooLarge and frees what it held.
  Status Drop();

  std::size_t limit_;
  std::string text_;
  Status status_ = Status::Open;
  std::uint64_t bytesIn_ = 0;
};

}  // namespace pelmo
