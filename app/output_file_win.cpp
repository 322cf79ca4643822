#include "app/output_file.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

#include "platform/platform.h"
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

FileResult Failed(DWORD error, const std::string& path) {
  return {static_cast<int>(error), path};
}

// Puts the finished file `temporary` in the place of `path`. An earlier file there becomes
// the backup in the same step, replacing an earlier backup.
FileResult PutInPlace(const std::wstring& temporary, const std::string& path) {
  const std::wstring target = Widen(path);
  const std::string backup = BackupPath(path);
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  const bool hasOld =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  if (!hasOld || backup == path) {
    // Without an earlier file, one that appeared meanwhile is not overwritten.
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (hasOld ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!::MoveFileExW(temporary.c_str(), target.c_str(), flags)) {
      return Failed(::GetLastError(), path);
    }
    return {};
  }
  // A read-only file is not to be replaced; ReplaceFileW alone would strip the attribute.
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return Failed(ERROR_ACCESS_DENIED, path);
  }
  const std::wstring wideBackup = Widen(backup);
  if (::ReplaceFileW(target.c_str(), temporary.c_str(), wideBackup.c_str(),
                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    return {};
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
    // The earlier file was already moved to the backup name: it goes back to its place.
    ::MoveFileExW(wideBackup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
  }
  return Failed(error, path);
}

// The system's text for `error`, without the line end it comes with.
std::string SystemReason(int error) {
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason = length > 0 && text != nullptr ? std::string(text, length) : std::string();
  ::LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) {
    reason.pop_back();
  }
  return reason.empty() ? "error " + std::to_string(error) : reason;
}

}  // namespace

FileResult WriteOutputFile(const DownloadJob& job) {
  const std::string& path = job.outputPath;
  std::wstring temporary;
  DWORD error = ERROR_SUCCESS;
  FileHandle file = CreateUniqueFile(FolderOf(path), temporary, error);
  if (!file.valid()) {
    return Failed(error, path);
  }
  DeleteUnlessKept cleanup;
  cleanup.Watch(temporary);
  if ((error = WriteRecords(job, file.get())) != ERROR_SUCCESS) {
    return Failed(error, path);
  }
  // On disk before it takes the output's place, so that a crash cannot leave half a file.
  if (!::FlushFileBuffers(file.get())) {
    return Failed(::GetLastError(), path);
  }
  if ((error = file.Close()) != ERROR_SUCCESS) {
    return Failed(error, path);
  }
  FileResult result = PutInPlace(temporary, path);
  if (result.ok()) {
    cleanup.Keep();
  }
  return result;
}

int WriteOutput(const DownloadJob& job, std::FILE* messages) {
  const FileResult result = WriteOutputFile(job);
  if (!result.ok() && messages != nullptr) {
    std::fprintf(messages, "pelmo: cannot write %s: %s\n", result.path.c_str(),
                 SystemReason(result.error).c_str());
    std::fflush(messages);
  }
  return result.error;
}

}  // namespace pelmo
