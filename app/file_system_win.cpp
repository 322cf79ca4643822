// The file calls of app/file_system.h on Windows, through the C library's descriptors. The
// Windows output file itself (output_file_win.cpp) calls the system directly, so that its
// failures carry Windows error codes; these serve callers that work with descriptors.
#include "app/file_system.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/wide_text_win.h"

namespace pelmo {

void CloseDescriptorUnchecked(int fd) {
  ::_close(fd);
}

int FileSystem::Write(int fd, std::string_view data) const {
  while (!data.empty()) {
    const int written = ::_write(fd, data.data(), static_cast<unsigned>(data.size()));
    if (written < 0) {
      return errno;
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

int FileSystem::Sync(int fd) const {
  return ::_commit(fd) == 0 ? 0 : errno;
}

int FileSystem::Close(int fd) const {
  return ::_close(fd) == 0 ? 0 : errno;
}

int FileSystem::Rename(const std::string& from, const std::string& to) const {
  // The C library's rename does not replace an existing file; removing it first would leave
  // a moment without one, so a file in the way is an error here.
  return ::_wrename(Widen(from).c_str(), Widen(to).c_str()) == 0 ? 0 : errno;
}

int FileSystem::Link(const std::string&, const std::string&) const {
  return EOPNOTSUPP;
}

int FileSystem::LinkUnnamed(int, const std::string&) const {
  return EOPNOTSUPP;
}

int FileSystem::CreateUnnamed(const std::string&, mode_t, int& fd) const {
  fd = -1;
  return EOPNOTSUPP;
}

int FileSystem::CreateNamed(const std::string& path, mode_t, int& fd) const {
  fd = ::_wopen(Widen(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                _S_IREAD | _S_IWRITE);
  return fd >= 0 ? 0 : errno;
}

bool NoHardLinks(int error) {
  return error == EXDEV || error == EPERM || error == EMLINK || error == EOPNOTSUPP ||
         error == ENOSYS;
}

}  // namespace pelmo
