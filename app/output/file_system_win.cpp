// The calls of app/output/file_system.h on Windows, on the system's own handles, so that failures
// carry Windows error codes. Windows has no unnamed files; it has hard links on NTFS.
#include "app/output/file_system.h"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/wide_text_win.h"

namespace pelmo {
namespace {

HANDLE Handle(NativeFile file) {
  return reinterpret_cast<HANDLE>(file);
}

int LastError() {
  return static_cast<int>(::GetLastError());
}

int Opened(HANDLE handle, NativeFile& file) {
  if (handle == INVALID_HANDLE_VALUE) {
    return LastError();
  }
  file = reinterpret_cast<NativeFile>(handle);
  return 0;
}

// A file open with the right to write, as a flush needs it.
int FlushPath(const std::wstring& path) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return LastError();
  }
  const int error = ::FlushFileBuffers(file) ? 0 : LastError();
  ::CloseHandle(file);
  return error;
}

// `path` with its folders from the root: replacing a file needs its folder.
std::wstring FullPath(const std::string& path) {
  const std::wstring wide = Widen(path);
  const DWORD length = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (length == 0) {
    return wide;
  }
  std::wstring full(length, L'\0');
  const DWORD written = ::GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
  full.resize(written < length ? written : 0);
  return full.empty() ? wide : full;
}

}  // namespace

void CloseDescriptorUnchecked(int fd) {
  ::_close(fd);
}

int FileSystem::CreateUnnamed(const std::string&, mode_t, NativeFile&) const {
  return ERROR_NOT_SUPPORTED;
}

int FileSystem::CreateNamed(const std::string& path, mode_t, NativeFile& file) const {
  // Nobody else may read or write it while it is written; deleting is shared, so that the
  // console control handler can remove it while this handle is open.
  return Opened(::CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr),
                file);
}

int FileSystem::OpenStream(const std::string& path, NativeFile& file) const {
  return Opened(
      ::CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
      file);
}

int FileSystem::Write(NativeFile file, std::string_view data) const {
  while (!data.empty()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
    if (!::WriteFile(Handle(file), data.data(), chunk, &written, nullptr)) {
      return LastError();
    }
    data.remove_prefix(written);
  }
  return 0;
}

int FileSystem::Sync(NativeFile file) const {
  return ::FlushFileBuffers(Handle(file)) ? 0 : LastError();
}

int FileSystem::Close(NativeFile file) const {
  return ::CloseHandle(Handle(file)) ? 0 : LastError();
}

int FileSystem::LinkUnnamed(NativeFile, const std::string&) const {
  return ERROR_NOT_SUPPORTED;
}

int FileSystem::Link(const std::string& from, const std::string& to) const {
  return ::CreateHardLinkW(Widen(to).c_str(), Widen(from).c_str(), nullptr) ? 0 : LastError();
}

int FileSystem::Copy(const std::string& from, const std::string& to) const {
  const std::wstring target = Widen(to);
  if (!::CopyFileW(Widen(from).c_str(), target.c_str(), TRUE)) {
    return LastError();
  }
  const int error = FlushPath(target);
  if (error != 0) {
    ::DeleteFileW(target.c_str());
  }
  return error;
}

int FileSystem::Rename(const std::string& from, const std::string& to) const {
  const std::wstring source = FullPath(from);
  const std::wstring target = FullPath(to);
  if (::MoveFileExW(source.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return 0;
  }
  const int error = LastError();
  // A file that is open, shared for deleting (as this run holds the output), cannot be
  // moved over on every Windows; replacing it moves it aside instead.
  if (error == ERROR_ACCESS_DENIED &&
      ::ReplaceFileW(target.c_str(), source.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr)) {
    return 0;
  }
  return error;
}

int FileSystem::Remove(const std::string& path) const {
  return ::DeleteFileW(Widen(path).c_str()) ? 0 : LastError();
}

int FileSystem::SyncFolder(const std::string& folder) const {
  return FlushPath(Widen(folder.empty() ? std::string(".") : folder));
}

mode_t FileSystem::NewFileMode() const {
  return 0;
}

bool AlreadyExists(int error) {
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

bool NoUnnamedFiles(int error) {
  return error == ERROR_NOT_SUPPORTED;
}

bool NoHardLinks(int error) {
  return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
         error == ERROR_NOT_SAME_DEVICE || error == ERROR_TOO_MANY_LINKS;
}

}  // namespace pelmo
