#include "platform/platform.h"

#include <sys/stat.h>
#include <unistd.h>

namespace pelmo {

std::string ProgramPath() {
  std::array<char, 4096> path{};
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) {
    return "";
  }
  return std::string(path.data(), static_cast<std::size_t>(length));
}

std::optional<std::time_t> FileModifiedTime(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return std::nullopt;
  }
  return status.st_mtime;
}

std::optional<std::array<int, 4>> ProgramVersion(const std::string& path) {
  // An ELF file carries no version record: the version is the one this program was built as,
  // as long as the file is there to be dated.
  if (!FileModifiedTime(path)) {
    return std::nullopt;
  }
  return std::array<int, 4>{PELMO_VERSION_PARTS};
}

}  // namespace pelmo
