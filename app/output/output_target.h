// What stands at the output path, found before the first request and kept until the file
// is written.
//
// A symbolic link is followed to the file it names: that file is read, replaced and
// backed up beside itself, and the link stays a link. A regular file is opened for reading
// and locked for this run with an advisory lock that every pelmo run takes, so that two
// runs on one file cannot both write it; what tells its contents apart (device, inode,
// size, modification time) is noted, so that the write can see whether another program
// changed it meanwhile. Anything else (a device, a pipe, a terminal, a socket, or a file
// reached through the process's own descriptors such as /dev/stdout) is a stream: it is
// neither read nor locked nor replaced, only written to.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>

#include "app/failure_message.h"
#include "app/output/file_system.h"

namespace pelmo {

enum class OutputKind {
  Absent,       // nothing there yet
  RegularFile,  // read, then replaced, with a backup
  Stream,       // written straight through
};

// Fixed widths, as Windows' file index and size do not fit its ino_t and off_t.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  timespec modified{};

  bool operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
  }
};

class OutputTarget {
 public:
  // Finds what stands at `path` (as the user gave it). Fails, before anything is changed,
  // when it exists but cannot be read ("cannot read"), when it may not be written or is a
  // folder ("cannot write"), or when another run holds it (a conflict).
  static Result Open(const std::string& path, OutputTarget& target);

  // The path as given, for messages.
  const std::string& path() const { return path_; }
  // The file the path names, symbolic links followed.
  const std::string& filePath() const { return filePath_; }
  OutputKind kind() const { return kind_; }
  // The regular file, open for reading at its start (and holding the lock); else -1.
  int readFd() const { return file_.get(); }
  // The regular file's permission bits.
  mode_t mode() const { return mode_; }

  // Success when the file at filePath() is still the one found by Open (or, for Absent,
  // still nothing); else a conflict.
  Result CheckUnchanged() const;

 private:
  std::string path_;
  std::string filePath_;
  OutputKind kind_ = OutputKind::Absent;
  FileDescriptor file_;
  mode_t mode_ = 0;
  FileIdentity identity_;
};

}  // namespace pelmo
