// The system calls through which the output file is written: one narrow layer, so that what
// differs between operating systems stays in file_system_posix.cpp and file_system_win.cpp,
// the publish sequence above it is written once, and tests can make any call fail.
//
// Every call returns 0 or the system's code for the failure: errno on POSIX, the Windows
// error code on Windows (so that messages and exit codes are the system's own). A call
// interrupted by a signal is repeated. FileSystem itself makes the real calls; a test
// derives from it and overrides the calls it wants to fail.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace pelmo {

// A file open for writing: a descriptor on POSIX, a HANDLE on Windows.
using NativeFile = std::intptr_t;
inline constexpr NativeFile kNoFile = -1;

// Closes `fd`, unchecked: the one call of FileDescriptor that differs between systems.
void CloseDescriptorUnchecked(int fd);

// Owns an open C library file descriptor (the output file read before the download) and
// closes it, unchecked, unless it was given up.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
    }
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Reset(-1); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Gives up ownership; the caller closes it.
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  void Reset(int fd) {
    if (fd_ >= 0) {
      CloseDescriptorUnchecked(fd_);
    }
    fd_ = fd;
  }

  int fd_;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // A new file without a name in `folder`, open for writing, with exactly the permissions
  // `mode`. Fails with a code for which NoUnnamedFiles holds where the file system (or the
  // system) has no unnamed files.
  virtual int CreateUnnamed(const std::string& folder, mode_t mode, NativeFile& file) const;
  // A new, empty file at `path`, open for writing, with exactly the permissions `mode`; fails
  // with a code for which AlreadyExists holds when `path` exists. Another program may delete
  // it while it is open.
  virtual int CreateNamed(const std::string& path, mode_t mode, NativeFile& file) const;
  // Opens the device, pipe or terminal at `path` for writing, appending.
  virtual int OpenStream(const std::string& path, NativeFile& file) const;
  // Writes all of `data`.
  virtual int Write(NativeFile file, std::string_view data) const;
  // Flushes a written file to disk.
  virtual int Sync(NativeFile file) const;
  // Closes a written file, which is closed whatever the answer: close may be the call that
  // reports a lost write.
  virtual int Close(NativeFile file) const;
  // Gives the unnamed file open at `file` the name `to`; fails (AlreadyExists) when `to`
  // exists.
  virtual int LinkUnnamed(NativeFile file, const std::string& to) const;
  // A second name `to` for the file `from`; fails (AlreadyExists) when `to` exists.
  virtual int Link(const std::string& from, const std::string& to) const;
  // Copies the file `from` to the new file `to`, with the same permissions, flushed to
  // disk; fails (AlreadyExists) when `to` exists.
  virtual int Copy(const std::string& from, const std::string& to) const;
  // Replaces `to` with `from` in one step.
  virtual int Rename(const std::string& from, const std::string& to) const;
  // Removes the name `path`.
  virtual int Remove(const std::string& path) const;
  // Makes the names given in `folder` (empty: the current folder) durable.
  virtual int SyncFolder(const std::string& folder) const;
  // The permissions a new file gets by default (the umask applied); 0 where files have none.
  virtual mode_t NewFileMode() const;
};

// True when `error` says that the name asked for is already taken.
bool AlreadyExists(int error);
// True when `error` says that the file system (or the system) has no unnamed files.
bool NoUnnamedFiles(int error);
// True when `error` says that the file system cannot give a file a second name at all
// (rather than that this attempt failed).
bool NoHardLinks(int error);

}  // namespace pelmo
