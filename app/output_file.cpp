#include "app/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <optional>
#include <random>
#include <utility>

#include "app/signal_cleanup.h"

namespace pelmo {
namespace {

constexpr std::size_t kFlushSize = 64 * 1024;
// A reserved name can be taken by another program before the file is linked to it.
constexpr int kNameAttempts = 8;

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

mode_t NewFileMode() {
  // umask can only be read by setting it; the program has one thread.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// A name in `folder` for a temporary file, unlikely to be taken. It is chosen before the
// file is created, so that the signal handler knows it before it exists.
std::string TemporaryName(const std::string& folder) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device random;
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  std::string name = folder + ".pelmo-";
  for (int i = 0; i < 6; ++i) {
    name += kLetters[pick(random)];
  }
  return name;
}

// A file being written under a temporary name, or under none yet. It is removed, and its
// name forgotten by the signal handler, unless it is kept.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!name_.empty()) {
      ::unlink(name_.c_str());
    }
  }

  // Takes `name` as the file's temporary name.
  void Name(const std::string& name) {
    name_ = name;
    signalGuard_.emplace(name);
  }
  const std::string& name() const { return name_; }
  // The file has its final name: nothing is left to remove.
  void Keep() {
    name_.clear();
    signalGuard_.reset();
  }

 private:
  std::string name_;
  std::optional<TemporaryNameForSignals> signalGuard_;
};

// Creates the new file in `folder`, unnamed where the file system allows, so that a run
// killed while writing leaves nothing; else under a temporary name.
int CreateTemporary(const FileSystem& files, const std::string& folder, mode_t mode,
                    TemporaryFile& temporary, FileDescriptor& fd) {
  int raw = -1;
  int error = files.CreateUnnamed(folder, mode, raw);
  if (error == EOPNOTSUPP) {
    error = EEXIST;
    for (int attempt = 0; error == EEXIST && attempt < kNameAttempts; ++attempt) {
      const std::string name = TemporaryName(folder);
      temporary.Name(name);
      error = files.CreateNamed(name, mode, raw);
      if (error != 0) {
        // Nothing was created, or the name is another file's.
        temporary.Keep();
      }
    }
  }
  fd = FileDescriptor(raw);
  if (error != 0) {
    return error;
  }
  // The umask applied at creation (and mkstemp makes the file private): give it the old
  // file's permissions or the usual ones.
  return ::fchmod(fd.get(), mode) == 0 ? 0 : errno;
}

// Gives an unnamed temporary file its temporary name, at the last moment.
int NameTemporary(const FileSystem& files, const std::string& folder, int fd,
                  TemporaryFile& temporary) {
  if (!temporary.name().empty()) {
    return 0;
  }
  int error = EEXIST;
  for (int attempt = 0; attempt < kNameAttempts && error == EEXIST; ++attempt) {
    const std::string name = TemporaryName(folder);
    temporary.Name(name);
    error = files.LinkUnnamed(fd, name);
    if (error != 0) {
      temporary.Keep();
    }
  }
  return error;
}

// Flushes to disk and closes, so that the file is complete before it gets its name.
int FinishFile(const FileSystem& files, FileDescriptor& fd) {
  if (const int error = files.Sync(fd.get())) {
    return error;
  }
  return files.Close(fd.Release());
}

int WriteRecords(const FileSystem& files, const DownloadJob& job, int fd) {
  const char separator = job.tabSeparated ? '\t' : ',';
  std::string buffer;
  for (const QuoteRecord& record : job.records.Records()) {
    buffer += FormatRecordLine(record, job.columnCount, separator);
    if (buffer.size() >= kFlushSize) {
      if (const int error = files.Write(fd, buffer)) {
        return error;
      }
      buffer.clear();
    }
  }
  return files.Write(fd, buffer);
}

int CopyContents(const FileSystem& files, int from, int to) {
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
    if (const int error = files.Write(to, {buffer.data(), static_cast<std::size_t>(got)})) {
      return error;
    }
  }
}

// Copies `source` to the new file `target` with the source's permissions.
int CopyFile(const FileSystem& files, const std::string& source, const std::string& target) {
  FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat status {};
  if (!in.valid() || ::fstat(in.get(), &status) != 0) {
    return errno;
  }
  FileDescriptor out(
      ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, status.st_mode & 07777));
  // The umask applies at creation; the backup should keep the source's permissions.
  if (!out.valid() || ::fchmod(out.get(), status.st_mode & 07777) != 0) {
    return errno;
  }
  if (const int error = CopyContents(files, in.get(), out.get())) {
    return error;
  }
  return FinishFile(files, out);
}

// Gives the file at `source` a second, temporary name beside `backup`, by a hard link or,
// where the file system has none, by a copy.
int PrepareBackup(const FileSystem& files, const std::string& source, const std::string& backup,
                  TemporaryFile& temporary) {
  int error = EEXIST;
  for (int attempt = 0; attempt < kNameAttempts && error == EEXIST; ++attempt) {
    const std::string name = TemporaryName(FolderOf(backup));
    temporary.Name(name);
    error = files.Link(source, name);
    if (error != 0 && NoHardLinks(error)) {
      error = CopyFile(files, source, name);
    }
    if (error == EEXIST) {
      temporary.Keep();
    }
  }
  return error;
}

// Makes the renames durable; a folder that cannot be synced loses nothing already done.
void SyncFolder(const std::string& folder) {
  FileDescriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY));
  if (dir.valid()) {
    ::fsync(dir.get());
  }
}

// Puts the complete temporary file at the output when nothing stood there: never over a
// file that another program created meanwhile.
Result PublishNew(const FileSystem& files, const OutputTarget& target, TemporaryFile& temporary) {
  int error = files.Link(temporary.name(), target.filePath());
  if (error != 0 && NoHardLinks(error)) {
    error = files.Rename(temporary.name(), target.filePath());
    if (error == 0) {
      temporary.Keep();
    }
  }
  if (error == EEXIST) {
    return ChangedDuringTheRun(target.path());
  }
  return FileFailure(Reason::CannotWrite, error, target.path());
}

// Puts the complete temporary file over the old one, and then the old one at the backup
// name, replacing the previous backup. If the backup cannot take its name, the old file
// goes back to the output path, so that both stay as they were.
Result PublishReplacement(const FileSystem& files, const OutputTarget& target,
                          TemporaryFile& temporary) {
  const std::string backup = BackupPath(target.filePath());
  TemporaryFile oldFile;
  if (backup != target.filePath()) {
    if (const int error = PrepareBackup(files, target.filePath(), backup, oldFile)) {
      return FileFailure(Reason::CannotWrite, error, backup);
    }
  }
  if (const int error = files.Rename(temporary.name(), target.filePath())) {
    return FileFailure(Reason::CannotWrite, error, target.path());
  }
  temporary.Keep();
  if (oldFile.name().empty()) {
    return {};
  }
  if (const int error = files.Rename(oldFile.name(), backup)) {
    // Should even that fail, the old file stands only under its temporary name: it is
    // kept there all the same.
    (void)files.Rename(oldFile.name(), target.filePath());
    oldFile.Keep();
    return FileFailure(Reason::CannotWrite, error, backup);
  }
  oldFile.Keep();
  return {};
}

Result WriteFile(const DownloadJob& job, const OutputTarget& target, const FileSystem& files) {
  const std::string folder = FolderOf(target.filePath());
  const bool replacing = target.kind() == OutputKind::RegularFile;
  TemporaryFile temporary;
  FileDescriptor fd;
  int error =
      CreateTemporary(files, folder, replacing ? target.mode() : NewFileMode(), temporary, fd);
  if (error == 0) {
    error = WriteRecords(files, job, fd.get());
  }
  if (error == 0) {
    error = files.Sync(fd.get());
  }
  if (error == 0) {
    error = NameTemporary(files, folder, fd.get(), temporary);
  }
  if (error == 0) {
    error = files.Close(fd.Release());
  }
  if (error != 0) {
    return FileFailure(Reason::CannotWrite, error, target.path());
  }
  if (Result changed = target.CheckUnchanged(); !changed.ok()) {
    return changed;
  }
  Result result;
  {
    // An interrupt between the renames would leave the old file under its temporary name.
    const SignalsHeldBack heldBack;
    result = replacing ? PublishReplacement(files, target, temporary)
                       : PublishNew(files, target, temporary);
  }
  if (result.ok()) {
    SyncFolder(folder);
  }
  return result;
}

// Writes the lines straight into the device, pipe or terminal.
Result WriteStream(const DownloadJob& job, const OutputTarget& target, const FileSystem& files) {
  // Appending, so that a file behind /dev/stdout opened with >> is not written over.
  FileDescriptor fd(::open(target.filePath().c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC));
  if (!fd.valid()) {
    return FileFailure(Reason::CannotWrite, errno, target.path());
  }
  int error = WriteRecords(files, job, fd.get());
  const int closeError = files.Close(fd.Release());
  return FileFailure(Reason::CannotWrite, error != 0 ? error : closeError, target.path());
}

}  // namespace

Result WriteOutputFile(const DownloadJob& job, const OutputTarget& target,
                       const FileSystem& files) {
  if (target.kind() == OutputKind::Stream) {
    return WriteStream(job, target, files);
  }
  return WriteFile(job, target, files);
}

}  // namespace pelmo
