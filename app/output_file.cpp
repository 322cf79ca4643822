#include "app/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <utility>

namespace pelmo {
namespace {

constexpr std::size_t kFlushSize = 64 * 1024;
// Values below this many hundredths have at most ten significant digits.
constexpr double kPlainHundredthsLimit = 1e10;

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

// Appends the separator and the value rounded to hundredths, as "%.10g" prints it.
void AppendValue(std::string& line, char separator, double value) {
  const double hundredths = std::floor(value * 100.0 + 0.5);
  char text[64];
  if (!(std::fabs(hundredths) < kPlainHundredthsLimit)) {
    const int length = std::snprintf(text, sizeof text, "%c%.10g", separator, hundredths * 0.01);
    line.append(text, static_cast<std::size_t>(std::max(length, 0)));
    return;
  }
  // At most ten digits: "%.10g" of hundredths * 0.01 is the exact decimal, which needs no
  // rounding and no exponent, with trailing zeros and point dropped. Printing it from the
  // integer saves the floating-point formatter, the bulk of writing a file.
  const auto whole = static_cast<long long>(std::fabs(hundredths));
  char* end = text + sizeof text;
  char* at = end;
  const int cents = static_cast<int>(whole % 100);
  if (cents != 0) {
    if (cents % 10 != 0) {
      *--at = static_cast<char>('0' + cents % 10);
    }
    *--at = static_cast<char>('0' + cents / 10);
    *--at = '.';
  }
  long long units = whole / 100;
  do {
    *--at = static_cast<char>('0' + units % 10);
    units /= 10;
  } while (units != 0);
  if (hundredths < 0) {
    *--at = '-';
  }
  *--at = separator;
  line.append(at, static_cast<std::size_t>(end - at));
}

}  // namespace

std::string FormatRecordLine(const QuoteRecord& record, int columnCount, char separator) {
  std::string line = Format(record.date, "%Y/%m/%d");
  const int count = std::clamp(columnCount, 0, static_cast<int>(record.values.size()));
  for (int i = 0; i < count; ++i) {
    AppendValue(line, separator, record.values[i]);
  }
  line += "\r\n";
  return line;
}

std::string BackupPath(std::string_view outputPath) {
  const auto dot = outputPath.rfind('.');
  const std::string_view stem =
      dot == std::string_view::npos ? std::string_view() : outputPath.substr(0, dot);
  return std::string(stem) + ".bak";
}

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
