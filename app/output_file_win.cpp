#include "app/output_file.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

#include "app/signal_cleanup.h"
#include "platform/wide_text_win.h"

namespace pelmo {
namespace {

constexpr std::size_t kFlushSize = 64 * 1024;
constexpr int kNameTries = 100;

// Owns a Windows file handle.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  FileHandle(FileHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (valid()) {
      ::CloseHandle(handle_);
    }
  }

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

  // Closes now: for a written file, closing may be what reports a lost write.
  DWORD Close() {
    const HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
    return ::CloseHandle(handle) ? ERROR_SUCCESS : ::GetLastError();
  }

 private:
  HANDLE handle_;
};

// Deletes a file that has not been put in place, whatever way the function is left.
class DeleteUnlessKept {
 public:
  DeleteUnlessKept() = default;
  DeleteUnlessKept(const DeleteUnlessKept&) = delete;
  DeleteUnlessKept& operator=(const DeleteUnlessKept&) = delete;
  ~DeleteUnlessKept() {
    if (!path_.empty()) {
      ::DeleteFileW(path_.c_str());
    }
  }

  void Watch(std::wstring path) { path_ = std::move(path); }
  void Keep() { path_.clear(); }

 private:
  std::wstring path_;
};

std::string FolderOf(const std::string& path) {
  const auto separator = path.find_last_of("/\\:");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

// A new, empty file in `folder` that nobody else may open while it is written; its name
// goes into `name`.
FileHandle CreateUniqueFile(const std::string& folder, std::wstring& name, DWORD& error) {
  const std::wstring base = Widen(folder) + L".pelmo-" + std::to_wstring(::GetCurrentProcessId());
  for (int i = 0; i < kNameTries; ++i) {
    name = base + L"-" + std::to_wstring(::GetTickCount64() + static_cast<ULONGLONG>(i)) + L".tmp";
    FileHandle file(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.valid()) {
      return file;
    }
    error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      break;
    }
  }
  return FileHandle();
}

DWORD WriteAll(HANDLE file, std::string_view data) {
  while (!data.empty()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
    if (!::WriteFile(file, data.data(), chunk, &written, nullptr)) {
      return ::GetLastError();
    }
    data.remove_prefix(written);
  }
  return ERROR_SUCCESS;
}

DWORD WriteRecords(const DownloadJob& job, HANDLE file) {
  const char separator = job.tabSeparated ? '\t' : ',';
  std::string buffer;
  for (const QuoteRecord& record : job.records.Records()) {
    buffer += FormatRecordLine(record, job.columnCount, separator);
    if (buffer.size() >= kFlushSize) {
      if (const DWORD error = WriteAll(file, buffer)) {
        return error;
      }
      buffer.clear();
    }
  }
  return WriteAll(file, buffer);
}

Result Failed(DWORD error, const std::string& path) {
  return FileFailure(Reason::CannotWrite, static_cast<int>(error), path);
}

// Puts the finished file `temporary` in the place of the target's file. An earlier file
// there becomes the backup in the same step, replacing an earlier backup.
Result PutInPlace(const std::wstring& temporary, const OutputTarget& target) {
  const std::wstring path = Widen(target.filePath());
  if (target.kind() == OutputKind::Absent) {
    // Not over a file that another program made meanwhile.
    if (!::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) {
      const DWORD error = ::GetLastError();
      return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS
                 ? ChangedDuringTheRun(target.path())
                 : Failed(error, target.path());
    }
    return {};
  }
  const std::wstring backup = Widen(BackupPath(target.filePath()));
  if (::ReplaceFileW(path.c_str(), temporary.c_str(), backup.c_str(),
                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    return {};
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
    // The earlier file had already taken the backup name: it goes back to its place.
    ::MoveFileExW(backup.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
  }
  return Failed(error, target.path());
}

// Writes the lines straight into a device or pipe (NUL, CON, \\.\pipe\...).
Result WriteStream(const DownloadJob& job, const OutputTarget& target) {
  FileHandle file(::CreateFileW(Widen(target.filePath()).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    return Failed(::GetLastError(), target.path());
  }
  DWORD error = WriteRecords(job, file.get());
  const DWORD closeError = file.Close();
  return Failed(error != ERROR_SUCCESS ? error : closeError, target.path());
}

Result WriteFile(const DownloadJob& job, const OutputTarget& target) {
  std::wstring temporary;
  DWORD error = ERROR_SUCCESS;
  FileHandle file = CreateUniqueFile(FolderOf(target.filePath()), temporary, error);
  if (!file.valid()) {
    return Failed(error, target.path());
  }
  DeleteUnlessKept cleanup;
  cleanup.Watch(temporary);
  const TemporaryNameForSignals removedOnInterrupt(Narrow(temporary));
  if ((error = WriteRecords(job, file.get())) != ERROR_SUCCESS) {
    return Failed(error, target.path());
  }
  // On disk before it takes the output's place, so that a crash cannot leave half a file.
  if (!::FlushFileBuffers(file.get())) {
    return Failed(::GetLastError(), target.path());
  }
  if ((error = file.Close()) != ERROR_SUCCESS) {
    return Failed(error, target.path());
  }
  if (Result unchanged = target.CheckUnchanged(); !unchanged.ok()) {
    return unchanged;
  }
  const SignalsHeldBack whileRenaming;
  Result result = PutInPlace(temporary, target);
  if (result.ok()) {
    cleanup.Keep();
  }
  return result;
}

}  // namespace

Result WriteOutputFile(const DownloadJob& job, const OutputTarget& target, const FileSystem&) {
  if (target.kind() == OutputKind::Stream) {
    return WriteStream(job, target);
  }
  return WriteFile(job, target);
}

}  // namespace pelmo
