// The file system calls through which the output file is written: one narrow layer, so that
// what differs between operating systems stays here and tests can make any call fail.
//
// Every call returns 0 or the errno of the failure; a call interrupted by a signal is
// repeated. FileSystem itself makes the real calls; a test derives from it and overrides
// the calls it wants to fail.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace pelmo {

// Closes `fd`, unchecked: the one call of FileDescriptor that differs between systems.
void CloseDescriptorUnchecked(int fd);

// Owns an open file descriptor and closes it, unchecked, unless it was given up. A file
// that was written is closed through FileSystem::Close instead, which reports failures.
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

  // Writes all of `data`.
  virtual int Write(int fd, std::string_view data) const;
  // Flushes a written file to disk.
  virtual int Sync(int fd) const;
  // Closes a written file: close may be the call that reports a lost write.
  virtual int Close(int fd) const;
  // Replaces `to` with `from` in one step.
  virtual int Rename(const std::string& from, const std::string& to) const;
  // A second name `to` for the file `from`; fails with EEXIST when `to` exists.
  virtual int Link(const std::string& from, const std::string& to) const;
  // Gives the unnamed file open at `fd` the name `to`; fails with EEXIST when `to` exists.
  virtual int LinkUnnamed(int fd, const std::string& to) const;
  // A new file without a name in `folder`, open for writing, in `fd`. Fails with
  // EOPNOTSUPP where the file system (or the system) has no unnamed files.
  virtual int CreateUnnamed(const std::string& folder, mode_t mode, int& fd) const;
  // A new, empty file at `path`, open for writing; fails with EEXIST when `path` exists.
  virtual int CreateNamed(const std::string& path, mode_t mode, int& fd) const;
};

// True when `error` says that the file system cannot give a file a second name at all
// (rather than that this attempt failed).
bool NoHardLinks(int error);

}  // namespace pelmo
