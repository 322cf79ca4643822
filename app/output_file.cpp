#include "app/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace pelmo {
namespace {

constexpr std::size_t kFlushSize = 64 * 1024;

// Owns an open file descriptor.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }

  int get() const { return fd_; }

  // Closes now: for a written file, close may be the call that reports the failure.
  int Close() {
    const int fd = std::exchange(fd_, -1);
    return ::close(fd) == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

// Removes a file that has not been put in place, whatever way the function is left.
class RemoveUnlessKept {
 public:
  RemoveUnlessKept() = default;
  RemoveUnlessKept(const RemoveUnlessKept&) = delete;
  RemoveUnlessKept& operator=(const RemoveUnlessKept&) = delete;
  ~RemoveUnlessKept() {
    if (!path_.empty()) {
      ::unlink(path_.c_str());
    }
  }

  void Watch(std::string path) { path_ = std::move(path); }
  void Keep() { path_.clear(); }

 private:
  std::string path_;
};

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A fresh, empty file in `folder`; its name goes into `name`. Returns the fd or -1.
int CreateUniqueFile(const std::string& folder, std::string& name) {
  name = folder + ".pelmo-XXXXXX";
  return ::mkostemp(name.data(), O_CLOEXEC);
}

int WriteAll(int fd, std::string_view data) {
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

// Flushes to disk and closes, so that a rename publishes complete contents.
int FinishFile(FileDescriptor& file) {
  if (::fsync(file.get()) != 0) {
    return errno;
  }
  return file.Close();
}

mode_t NewFileMode() {
  // umask can only be read by setting it; the program has one thread.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

int WriteRecords(const DownloadJob& job, int fd) {
  const char separator = job.tabSeparated ? '\t' : ',';
  std::string buffer;
  for (const QuoteRecord& record : job.records.Records()) {
    buffer += FormatRecordLine(record, job.columnCount, separator);
    if (buffer.size() >= kFlushSize) {
      if (const int error = WriteAll(fd, buffer)) {
        return error;
      }
      buffer.clear();
    }
  }
  return WriteAll(fd, buffer);
}

int CopyContents(int from, int to) {
  std::string buffer(kFlushSize, '\0');
  for (;;) {
    const ssize_t got = ::read(from, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      return errno;
    }
    if (got == 0) {
      return 0;
    }
    if (const int error = WriteAll(to, {buffer.data(), static_cast<std::size_t>(got)})) {
      return error;
    }
  }
}

// Copies `source` to the new file `target` with the source's permissions.
int CopyFile(const std::string& source, const std::string& target) {
  FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat status {};
  if (in.get() < 0 || ::fstat(in.get(), &status) != 0) {
    return errno;
  }
  FileDescriptor out(
      ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, status.st_mode & 07777));
  // The umask applies at creation; the backup should keep the source's permissions.
  if (out.get() < 0 || ::fchmod(out.get(), status.st_mode & 07777) != 0) {
    return errno;
  }
  if (const int error = CopyContents(in.get(), out.get())) {
    return error;
  }
  return FinishFile(out);
}

// Puts the file at `source` under the name `backup` as well, replacing an old backup,
// while `source` stays where it is.
FileResult MakeBackup(const std::string& source, const std::string& backup) {
  std::string name;
  FileDescriptor reserved(CreateUniqueFile(FolderOf(backup), name));
  if (reserved.get() < 0) {
    return {errno, backup};
  }
  RemoveUnlessKept cleanup;
  cleanup.Watch(name);
  reserved.Close();
  // link() wants a free name; the reservation only chose one.
  ::unlink(name.c_str());
  if (::link(source.c_str(), name.c_str()) != 0) {
    // No hard links here (another file system, or none supported): copy instead.
    if (const int error = CopyFile(source, name)) {
      return {error, backup};
    }
  }
  if (::rename(name.c_str(), backup.c_str()) != 0) {
    return {errno, backup};
  }
  cleanup.Keep();
  return {};
}

// Makes the renames durable; a folder that cannot be synced loses nothing already done.
void SyncFolder(const std::string& folder) {
  FileDescriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY));
  if (dir.get() >= 0) {
    ::fsync(dir.get());
  }
}

}  // namespace

FileResult WriteOutputFile(const DownloadJob& job) {
  const std::string& path = job.outputPath;
  struct stat old {};
  const bool hasOld = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);

  std::string temporary;
  FileDescriptor file(CreateUniqueFile(FolderOf(path), temporary));
  if (file.get() < 0) {
    return {errno, path};
  }
  RemoveUnlessKept cleanup;
  cleanup.Watch(temporary);
  // mkstemp makes the file private; give it the old file's permissions or the usual ones.
  if (::fchmod(file.get(), hasOld ? old.st_mode & 07777 : NewFileMode()) != 0) {
    return {errno, path};
  }
  if (const int error = WriteRecords(job, file.get())) {
    return {error, path};
  }
  if (const int error = FinishFile(file)) {
    return {error, path};
  }
  if (const std::string backup = BackupPath(path); hasOld && backup != path) {
    if (FileResult result = MakeBackup(path, backup); !result.ok()) {
      return result;
    }
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    return {errno, path};
  }
  cleanup.Keep();
  SyncFolder(FolderOf(path));
  return {};
}

int WriteOutput(const DownloadJob& job, std::FILE* messages) {
  const FileResult result = WriteOutputFile(job);
  if (!result.ok() && messages != nullptr) {
    std::fprintf(messages, "pelmo: cannot write %s: %s\n", result.path.c_str(),
                 std::strerror(result.error));
    std::fflush(messages);
  }
  return result.error;
}

}  // namespace pelmo
