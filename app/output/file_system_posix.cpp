#include "app/output/file_system.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>

namespace pelmo {
namespace {

constexpr std::size_t kCopyBufferSize = 64 * 1024;

int Fd(NativeFile file) {
  return static_cast<int>(file);
}

// Test-only: the path taken where the file system has no unnamed files, on any file system,
// so that the run's own processes can be tested on it.
bool UnnamedTemporariesOffForTests() {
  const char* off = std::getenv("PELMO_NO_UNNAMED_TEMPORARIES_FOR_TESTS");
  return off != nullptr && std::string_view(off) == "1";
}

// The umask applied at creation (and an unnamed file's mode is not always the one asked
// for): the file is given exactly `mode`.
int CreatedWithMode(int fd, mode_t mode, NativeFile& file) {
  if (fd < 0) {
    return errno;
  }
  file = fd;
  return ::fchmod(fd, mode) == 0 ? 0 : errno;
}

int CopyContents(const FileSystem& files, int from, NativeFile to) {
  std::string buffer(kCopyBufferSize, '\0');
  for (;;) {
    const ssize_t got = ::read(from, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return got < 0 ? errno : 0;
    }
    if (const int error = files.Write(to, {buffer.data(), static_cast<std::size_t>(got)})) {
      return error;
    }
  }
}

}  // namespace

void CloseDescriptorUnchecked(int fd) {
  ::close(fd);
}

int FileSystem::CreateUnnamed(const std::string& folder, mode_t mode, NativeFile& file) const {
#ifdef O_TMPFILE
  // The file gets its name through its entry in /proc; without /proc it never could.
  if (UnnamedTemporariesOffForTests() || ::access("/proc/self/fd", X_OK) != 0) {
    return EOPNOTSUPP;
  }
  const int fd =
      ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  // Kernels and file systems without unnamed files answer in several ways.
  if (fd < 0 && (errno == EISDIR || errno == EINVAL || errno == EOPNOTSUPP)) {
    return EOPNOTSUPP;
  }
  return CreatedWithMode(fd, mode, file);
#else
  (void)folder;
  (void)mode;
  (void)file;
  return EOPNOTSUPP;
#endif
}

int FileSystem::CreateNamed(const std::string& path, mode_t mode, NativeFile& file) const {
  return CreatedWithMode(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode), mode,
                         file);
}

int FileSystem::OpenStream(const std::string& path, NativeFile& file) const {
  // Appending, so that a file behind /dev/stdout opened with >> is not written over.
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return errno;
  }
  file = fd;
  return 0;
}

int FileSystem::Write(NativeFile file, std::string_view data) const {
  while (!data.empty()) {
    const ssize_t written = ::write(Fd(file), data.data(), data.size());
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

int FileSystem::Sync(NativeFile file) const {
  return ::fsync(Fd(file)) == 0 ? 0 : errno;
}

int FileSystem::Close(NativeFile file) const {
  // After EINTR the descriptor is gone on Linux; closing it again could close another.
  return ::close(Fd(file)) == 0 || errno == EINTR ? 0 : errno;
}

int FileSystem::LinkUnnamed(NativeFile file, const std::string& to) const {
  // Linking by the descriptor's entry in /proc needs no privilege, unlike AT_EMPTY_PATH.
  const std::string self = "/proc/self/fd/" + std::to_string(Fd(file));
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

int FileSystem::Link(const std::string& from, const std::string& to) const {
  return ::link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int FileSystem::Copy(const std::string& from, const std::string& to) const {
  FileDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat status {};
  if (!in.valid() || ::fstat(in.get(), &status) != 0) {
    return errno;
  }
  NativeFile out = kNoFile;
  int error = CreateNamed(to, status.st_mode & 07777, out);
  if (error == 0) {
    error = CopyContents(*this, in.get(), out);
  }
  if (error == 0) {
    error = Sync(out);
  }
  if (out != kNoFile) {
    const int closed = Close(out);
    error = error != 0 ? error : closed;
  }
  return error;
}

int FileSystem::Rename(const std::string& from, const std::string& to) const {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int FileSystem::Remove(const std::string& path) const {
  return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int FileSystem::SyncFolder(const std::string& folder) const {
  const FileDescriptor dir(
      ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.valid()) {
    return errno;
  }
  return ::fsync(dir.get()) == 0 ? 0 : errno;
}

mode_t FileSystem::NewFileMode() const {
  // umask can only be read by setting it; the program has one thread.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

bool AlreadyExists(int error) {
  return error == EEXIST;
}

bool NoUnnamedFiles(int error) {
  return error == EOPNOTSUPP;
}

bool NoHardLinks(int error) {
  return error == EXDEV || error == EPERM || error == EMLINK || error == EOPNOTSUPP ||
         error == ENOSYS;
}

}  // namespace pelmo
