#include "net/http_options.h"

#include <unistd.h>

#include <array>
#include <string_view>

namespace pelmo {

std::string ExecutableName() {
  std::array<char, 4096> path{};
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) {
    return "pelmo";
  }
  std::string_view name(path.data(), static_cast<std::size_t>(length));
  name.remove_prefix(name.rfind('/') + 1);  // npos + 1 == 0 keeps a bare name whole
  // A leading dot belongs to the name, not to an extension.
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > 0) {
    name = name.substr(0, dot);
  }
  return name.empty() ? std::string("pelmo") : std::string(name);
}

}  // namespace pelmo
