#include "app/output/output_target.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "app/output/output_file.h"

namespace pelmo {
namespace {

constexpr int kMaxLinks = 40;
// Opening the file and locking it are two steps; another run may replace the file between
// them, in which case the lock is on the old file and is taken again.
constexpr int kLockAttempts = 4;

FileIdentity IdentityOf(const struct stat& status) {
  return {status.st_dev, status.st_ino, status.st_size, status.st_mtim};
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The text of the link at `path`, or empty.
std::string ReadLink(const std::string& path) {
  std::string text(4096, '\0');
  const ssize_t length = ::readlink(path.c_str(), text.data(), text.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= text.size()) {
    return {};
  }
  text.resize(static_cast<std::size_t>(length));
  return text;
}

bool IsProcessLink(std::string_view path) {
  return path.starts_with("/proc/");
}

// Whether `path` lies in /proc, also when reached through a linked folder (/dev/fd/1).
bool InProcessFolder(const std::string& path) {
  if (IsProcessLink(path)) {
    return true;
  }
  const std::string folder = FolderOf(path);
  char* real = ::realpath(folder.empty() ? "." : folder.c_str(), nullptr);
  const bool inProc = real != nullptr && (std::string_view(real).starts_with("/proc/") ||
                                          std::string_view(real) == "/proc");
  std::free(real);
  return inProc;
}

// Follows the symbolic links at `path` to the name of the file they lead to. A link
// into /proc (/dev/stdout, /dev/fd/N) names one of the process's own descriptors, not a
// file that could be replaced: `stream` is set and the path before it is kept.
std::string FollowLinks(const std::string& path, bool& stream) {
  std::string file = path;
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    struct stat status {};
    if (InProcessFolder(file)) {
      stream = true;
      return file;
    }
    if (::lstat(file.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
      return file;
    }
    const std::string link = ReadLink(file);
    if (link.empty()) {
      return file;
    }
    if (IsProcessLink(link)) {
      stream = true;
      return file;
    }
    file = link.front() == '/' ? link : FolderOf(file) + link;
  }
  return file;
}

// Opens and locks the regular file at `file`. Returns 0, EWOULDBLOCK when another run
// holds it, or the errno of the open.
int OpenAndLock(const std::string& file, FileDescriptor& fd, struct stat& status) {
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    fd = FileDescriptor(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) {
      return errno;
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
      return EWOULDBLOCK;
    }
    // Any other locking failure (a file system without locks) leaves the check at write
    // time as the only guard.
    struct stat now {};
    if (::fstat(fd.get(), &status) != 0) {
      return errno;
    }
    if (::stat(file.c_str(), &now) == 0 && now.st_dev == status.st_dev &&
        now.st_ino == status.st_ino) {
      return 0;
    }
  }
  return EWOULDBLOCK;
}

// 0 when the folder of `file` is there and a new file can be made in it (the new file is
// written beside the old one); else the errno of what stops it.
int FolderError(const std::string& file) {
  const std::string folder = FolderOf(file);
  return ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

// 0 unless a folder stands at the backup's name, which the old file could never take.
int BackupError(const std::string& backup) {
  struct stat status {};
  return ::stat(backup.c_str(), &status) == 0 && S_ISDIR(status.st_mode) ? EISDIR : 0;
}

}  // namespace

Result OutputTarget::Open(const std::string& path, OutputTarget& target) {
  target = OutputTarget();
  target.path_ = path;
  bool stream = false;
  target.filePath_ = FollowLinks(path, stream);
  struct stat status {};
  if (::stat(target.filePath_.c_str(), &status) != 0) {
    if (errno == ENOENT) {
      return FileFailure(Reason::CannotWrite, FolderError(target.filePath_), path);
    }
    // A path through a file, as in f.csv/x: no file can be written there.
    if (errno == ENOTDIR) {
      return FileFailure(Reason::CannotWrite, errno, path);
    }
    return FileFailure(Reason::CannotRead, errno, path);
  }
  if (S_ISDIR(status.st_mode)) {
    return FileFailure(Reason::CannotWrite, EISDIR, path);
  }
  if (stream || !S_ISREG(status.st_mode)) {
    target.kind_ = OutputKind::Stream;
    return {};
  }
  if (const int error = OpenAndLock(target.filePath_, target.file_, status)) {
    if (error == EWOULDBLOCK) {
      return InUseByAnotherRun(path);
    }
    return FileFailure(Reason::CannotRead, error, path);
  }
  // Refused as opening it for writing would refuse it, although it is replaced instead.
  if (::access(target.filePath_.c_str(), W_OK) != 0) {
    return FileFailure(Reason::CannotWrite, errno, path);
  }
  if (const int error = FolderError(target.filePath_)) {
    return FileFailure(Reason::CannotWrite, error, path);
  }
  const std::string backup = BackupPath(target.filePath_);
  if (const int error = BackupError(backup)) {
    return FileFailure(Reason::CannotWrite, error, backup);
  }
  target.kind_ = OutputKind::RegularFile;
  target.mode_ = status.st_mode & 07777;
  target.identity_ = IdentityOf(status);
  return {};
}

Result OutputTarget::CheckUnchanged() const {
  struct stat status {};
  const bool exists = ::stat(filePath_.c_str(), &status) == 0;
  switch (kind_) {
    case OutputKind::Absent:
      return exists ? ChangedDuringTheRun(path_) : Result{};
    case OutputKind::RegularFile:
      return exists && IdentityOf(status) == identity_ ? Result{} : ChangedDuringTheRun(path_);
    case OutputKind::Stream:
      return {};
  }
  return {};
}

}  // namespace pelmo
