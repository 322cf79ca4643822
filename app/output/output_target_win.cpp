#include "app/output/output_target.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>
#include <string_view>

#include "app/output/output_file.h"
#include "platform/wide_text_win.h"

namespace pelmo {
namespace {

// Runs of pelmo lock one byte far past any end of file: no reader or writer of the file's
// contents ever meets it, so it only keeps a second run off.
constexpr DWORD kLockOffsetHigh = 0x40000000;

// A file another program holds without sharing cannot be replaced: a failure to write.
bool HeldByAnother(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

FileIdentity IdentityOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info)) {
    return {};
  }
  FileIdentity identity;
  identity.device = info.dwVolumeSerialNumber;
  identity.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  identity.size = (static_cast<std::int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  identity.modified.tv_sec = static_cast<std::time_t>(info.ftLastWriteTime.dwHighDateTime);
  identity.modified.tv_nsec = static_cast<long>(info.ftLastWriteTime.dwLowDateTime);
  return identity;
}

// Opens the file for reading; others may go on reading, writing and renaming it.
HANDLE OpenShared(const std::wstring& path, DWORD access = GENERIC_READ) {
  return ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Whether the file could be renamed away now, as replacing it will. A program that holds it
// without sharing that (a spreadsheet program) is so found before the download. The right
// is not kept: held, it would keep others from opening the file at all during the run.
DWORD CanBeReplaced(const std::wstring& path) {
  const HANDLE probe = OpenShared(path, DELETE);
  if (probe == INVALID_HANDLE_VALUE) {
    return ::GetLastError();
  }
  ::CloseHandle(probe);
  return ERROR_SUCCESS;
}

// ERROR_ACCESS_DENIED for a folder or a read-only file, which cannot be replaced.
DWORD WriteRefused(DWORD attributes) {
  const bool refused = (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0;
  return refused ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

// Whether the backup, if there is one, can be replaced by the old file: a folder or a
// read-only file cannot, nor one that another program holds without sharing the right to
// rename it.
DWORD BackupError(const std::wstring& backup) {
  const DWORD attributes = ::GetFileAttributesW(backup.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return ERROR_SUCCESS;
  }
  const DWORD refused = WriteRefused(attributes);
  return refused != ERROR_SUCCESS ? refused : CanBeReplaced(backup);
}

// Whether the file name of `path` is one of the devices that every folder has (NUL, CON,
// PRN, AUX, COM1 to COM9, LPT1 to LPT9), with or without an extension; such a path opens
// the device, never a file.
bool IsDeviceName(std::string_view path) {
  const std::size_t separator = path.find_last_of("/\\:");
  std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') {
    name.remove_suffix(1);
  }
  std::string upper;
  for (const char c : name) {
    upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  if (upper == "NUL" || upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "CONIN$" ||
      upper == "CONOUT$") {
    return true;
  }
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
         upper[3] >= '1' && upper[3] <= '9';
}

}  // namespace

Result OutputTarget::Open(const std::string& path, OutputTarget& target) {
  target.path_ = path;
  target.filePath_ = path;
  const std::wstring widePath = Widen(path);
  if (IsDeviceName(path)) {
    target.kind_ = OutputKind::Stream;
    return {};
  }
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(widePath.c_str(), GetFileExInfoStandard, &data)) {
    // Nothing there yet is no failure; a missing folder (3) or a name no file may have (123)
    // is, before anything is fetched.
    const DWORD error = ::GetLastError();
    target.kind_ = OutputKind::Absent;
    return error == ERROR_FILE_NOT_FOUND
               ? Result{}
               : FileFailure(Reason::CannotWrite, static_cast<int>(error), path);
  }
  if (const DWORD error = WriteRefused(data.dwFileAttributes)) {
    return FileFailure(Reason::CannotWrite, static_cast<int>(error), path);
  }
  const std::string backup = BackupPath(path);
  if (const DWORD error = BackupError(Widen(backup))) {
    return FileFailure(Reason::CannotWrite, static_cast<int>(error), backup);
  }
  const HANDLE file = OpenShared(widePath);
  const DWORD error = file == INVALID_HANDLE_VALUE ? ::GetLastError() : CanBeReplaced(widePath);
  if (error != ERROR_SUCCESS) {
    if (file != INVALID_HANDLE_VALUE) {
      ::CloseHandle(file);
    }
    return FileFailure(HeldByAnother(error) ? Reason::CannotWrite : Reason::CannotRead,
                       static_cast<int>(error), path);
  }
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    // A device such as NUL or CON, or a pipe: written straight through.
    ::CloseHandle(file);
    target.kind_ = OutputKind::Stream;
    return {};
  }
  OVERLAPPED at{};
  at.OffsetHigh = kLockOffsetHigh;
  if (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(file);
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) {
      return InUseByAnotherRun(path);
    }
    return FileFailure(Reason::CannotRead, static_cast<int>(error), path);
  }
  target.identity_ = IdentityOf(file);
  // Read through the C library like on other systems; closing the descriptor closes the
  // handle and so ends the lock.
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(file);
    return FileFailure(Reason::CannotRead, ERROR_TOO_MANY_OPEN_FILES, path);
  }
  target.file_ = FileDescriptor(fd);
  target.kind_ = OutputKind::RegularFile;
  return {};
}

Result OutputTarget::CheckUnchanged() const {
  const std::wstring widePath = Widen(filePath_);
  switch (kind_) {
    case OutputKind::Absent:
      return ::GetFileAttributesW(widePath.c_str()) == INVALID_FILE_ATTRIBUTES
                 ? Result{}
                 : ChangedDuringTheRun(path_);
    case OutputKind::RegularFile: {
      // The handle held since Open follows the file through renames: what stands at the
      // path now is compared with it. Opened with the right to rename it, so that a program
      // that holds it without sharing that is found before the backup is made.
      const HANDLE now = OpenShared(widePath, GENERIC_READ | DELETE);
      if (now == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return HeldByAnother(error)
                   ? FileFailure(Reason::CannotWrite, static_cast<int>(error), path_)
                   : ChangedDuringTheRun(path_);
      }
      const FileIdentity identity = IdentityOf(now);
      ::CloseHandle(now);
      return identity == identity_ ? Result{} : ChangedDuringTheRun(path_);
    }
    case OutputKind::Stream:
      return {};
  }
  return {};
}

}  // namespace pelmo
