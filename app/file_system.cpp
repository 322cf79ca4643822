#include "app/file_system.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace pelmo {

void CloseDescriptorUnchecked(int fd) {
  ::close(fd);
}

int FileSystem::Write(int fd, std::string_view data) const {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return errno;
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

int FileSystem::Sync(int fd) const {
  return ::fsync(fd) == 0 ? 0 : errno;
}

int FileSystem::Close(int fd) const {
  // After EINTR the descriptor is gone on Linux; closing it again could close another.
  return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}

int FileSystem::Rename(const std::string& from, const std::string& to) const {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int FileSystem::Link(const std::string& from, const std::string& to) const {
  return ::link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int FileSystem::LinkUnnamed(int fd, const std::string& to) const {
  // Linking by the descriptor's entry in /proc needs no privilege, unlike AT_EMPTY_PATH.
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

int FileSystem::CreateUnnamed(const std::string& folder, mode_t mode, int& fd) const {
#ifdef O_TMPFILE
  // The file gets its name through its entry in /proc; without /proc it never could.
  if (::access("/proc/self/fd", X_OK) != 0) {
    return EOPNOTSUPP;
  }
  fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  if (fd >= 0) {
    return 0;
  }
  // Kernels and file systems without unnamed files answer in several ways.
  if (errno == EISDIR || errno == EINVAL || errno == EOPNOTSUPP) {
    return EOPNOTSUPP;
  }
  return errno;
#else
  (void)folder;
  (void)mode;
  fd = -1;
  return EOPNOTSUPP;
#endif
}

int FileSystem::CreateNamed(const std::string& path, mode_t mode, int& fd) const {
  fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  return fd >= 0 ? 0 : errno;
}

bool NoHardLinks(int error) {
  return error == EXDEV || error == EPERM || error == EMLINK || error == EOPNOTSUPP ||
         error == ENOSYS;
}

}  // namespace pelmo
