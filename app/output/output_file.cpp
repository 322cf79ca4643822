// How the output file is published, on every system: the system's calls are those of
// app/output/file_system.h.
#include "app/output/output_file.h"

#include <optional>
#include <random>
#include <utility>

#include "app/output/signal_cleanup.h"
#include "platform/platform.h"

namespace pelmo {
namespace {

constexpr std::size_t kFlushSize = 64 * 1024;
// A reserved name can be taken by another program before the file is linked to it.
constexpr int kNameAttempts = 8;

std::string FolderOf(const std::string& path) {
  const auto separator = path.find_last_of(FolderSeparators());
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
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

// A file being written, open, under a temporary name or under none yet. Unless it is kept,
// it is closed and then removed (Windows cannot remove a file its own handle holds), and
// its name forgotten by the signal handler.
class TemporaryFile {
 public:
  explicit TemporaryFile(const FileSystem& files) : files_(files) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (file_ != kNoFile) {
      (void)files_.Close(file_);
    }
    if (!name_.empty()) {
      (void)files_.Remove(name_);
    }
  }

  // Takes `name` as the file's temporary name.
  void Name(const std::string& name) {
    name_ = name;
    signalGuard_.emplace(name);
  }
  // The name was not the file's after all.
  void Unname() {
    name_.clear();
    signalGuard_.reset();
  }
  const std::string& name() const { return name_; }
  NativeFile& file() { return file_; }
  // Closes the open file, reporting what close says.
  int Close() { return files_.Close(std::exchange(file_, kNoFile)); }
  // The file has its final name: nothing is left to remove.
  void Keep() { Unname(); }

 private:
  const FileSystem& files_;
  NativeFile file_ = kNoFile;
  std::string name_;
  std::optional<TemporaryNameForSignals> signalGuard_;
};

// Tries fresh temporary names in `folder` for `create` until one is free.
template <typename Create>
int UnderAFreeName(const std::string& folder, TemporaryFile& temporary, Create create) {
  int error = 0;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    temporary.Name(TemporaryName(folder));
    error = create(temporary.name());
    if (!AlreadyExists(error)) {
      // A failure may have left part of a file under the name: it is removed with the rest.
      return error;
    }
    // The name is another file's.
    temporary.Unname();
  }
  return error;
}

// Creates the new file in `folder`, unnamed where the file system allows, so that a run
// killed while writing leaves nothing; else under a temporary name.
int CreateTemporary(const FileSystem& files, const std::string& folder, mode_t mode,
                    TemporaryFile& temporary) {
  const int error = files.CreateUnnamed(folder, mode, temporary.file());
  if (!NoUnnamedFiles(error)) {
    return error;
  }
  return UnderAFreeName(folder, temporary, [&](const std::string& name) {
    return files.CreateNamed(name, mode, temporary.file());
  });
}

// Gives an unnamed temporary file its temporary name, at the last moment.
int NameTemporary(const FileSystem& files, const std::string& folder, TemporaryFile& temporary) {
  if (!temporary.name().empty()) {
    return 0;
  }
  const NativeFile file = temporary.file();
  return UnderAFreeName(folder, temporary,
                        [&](const std::string& name) { return files.LinkUnnamed(file, name); });
}

int WriteRecords(const FileSystem& files, const DownloadJob& job, NativeFile file) {
  const char separator = job.tabSeparated ? '\t' : ',';
  std::string buffer;
  for (const QuoteRecord& record : job.records.Records()) {
    buffer += FormatRecordLine(record, job.columnCount, separator);
    if (buffer.size() >= kFlushSize) {
      if (const int error = files.Write(file, buffer)) {
        return error;
      }
      buffer.clear();
    }
  }
  return files.Write(file, buffer);
}

// Gives the file at `source` a second, temporary name beside `backup`, by a hard link or,
// where the file system has none, by a copy.
int PrepareBackup(const FileSystem& files, const std::string& source, const std::string& backup,
                  TemporaryFile& oldFile) {
  return UnderAFreeName(FolderOf(backup), oldFile, [&](const std::string& name) {
    const int error = files.Link(source, name);
    return error != 0 && NoHardLinks(error) ? files.Copy(source, name) : error;
  });
}

// Puts the complete temporary file at the output when nothing stood there: never over a
// file that another program created meanwhile.
Result PublishNew(const FileSystem& files, const OutputTarget& target, TemporaryFile& temporary) {
  int error = files.Link(temporary.name(), target.filePath());
  if (error == 0) {
    // Gone before the folder is synced, so that no crash brings the name back.
    (void)files.Remove(temporary.name());
    temporary.Keep();
  } else if (NoHardLinks(error)) {
    error = files.Rename(temporary.name(), target.filePath());
    if (error == 0) {
      temporary.Keep();
    }
  }
  if (AlreadyExists(error)) {
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
  TemporaryFile oldFile(files);
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

// Writes the lines to a new file, flushed to disk and closed, so that it is complete
// before it gets its name.
int WriteTemporary(const FileSystem& files, const DownloadJob& job, const std::string& folder,
                   mode_t mode, TemporaryFile& temporary) {
  int error = CreateTemporary(files, folder, mode, temporary);
  if (error == 0) {
    error = WriteRecords(files, job, temporary.file());
  }
  if (error == 0) {
    error = files.Sync(temporary.file());
  }
  if (error == 0) {
    error = NameTemporary(files, folder, temporary);
  }
  if (error == 0) {
    error = temporary.Close();
  }
  return error;
}

Result WriteFile(const DownloadJob& job, const OutputTarget& target, const FileSystem& files) {
  const std::string folder = FolderOf(target.filePath());
  const bool replacing = target.kind() == OutputKind::RegularFile;
  TemporaryFile temporary(files);
  if (const int error = WriteTemporary(
          files, job, folder, replacing ? target.mode() : files.NewFileMode(), temporary)) {
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
    // Makes the renames durable; a folder that cannot be synced loses nothing already done.
    (void)files.SyncFolder(folder);
  }
  return result;
}

// Writes the lines straight into the device, pipe or terminal.
Result WriteStream(const DownloadJob& job, const OutputTarget& target, const FileSystem& files) {
  NativeFile file = kNoFile;
  if (const int error = files.OpenStream(target.filePath(), file)) {
    return FileFailure(Reason::CannotWrite, error, target.path());
  }
  const int error = WriteRecords(files, job, file);
  const int closeError = files.Close(file);
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
