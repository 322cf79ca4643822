// Reading the local file named by a "file:" address.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"

namespace pelmo {

// The path named by a file address, or nullopt when `address` is not one. Accepted forms
// (scheme in any case): "file:///abs/path", "file://localhost/abs/path", "file:/abs/path"
// and "file:relative/path". %XX escapes are decoded; there is no query or fragment.
std::optional<std::string> FileAddressPath(std::string_view address);

// Reads the file at `path` as it stands into `text`, the bytes before the first zero byte:
// no line-end or character conversion. A file that cannot be opened or read gives
// FileUnreadable, one longer than `limit` bytes TooLarge, and `text` is then left empty.
Result ReadLocalFile(const std::string& path, std::size_t limit, std::string& text);

}  // namespace pelmo
