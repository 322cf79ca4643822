// Reading the local file named by a "file:" address.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pelmo {

// The path named by a file address, or nullopt when `address` is not one. Accepted forms
// (scheme in any case): "file:///abs/path", "file://localhost/abs/path", "file:/abs/path"
// and "file:relative/path". %XX escapes are decoded; there is no query or fragment.
std::optional<std::string> FileAddressPath(std::string_view address);

struct FileRead {
  std::optional<std::string> text;  // the bytes before the first zero byte; null on failure
  std::string reason;               // why there is no text
};

// Reads the file at `path` as it stands: no line-end or character conversion. A file that
// cannot be opened or read, or is longer than `limit` bytes, yields no text.
FileRead ReadLocalFile(const std::string& path, std::size_t limit);

}  // namespace pelmo
