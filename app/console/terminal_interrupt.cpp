#include "app/console/terminal_interrupt.h"

#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string_view>

#include "app/console/interrupt_note_text.h"

namespace pelmo {
namespace {

struct NoteState {
  char path[PATH_MAX] = {};
  bool existed = false;
  bool regular = false;
  dev_t device = 0;
  ino_t inode = 0;
};

NoteState note;
std::atomic<int> noteFd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

void Write(int fd, std::string_view text) {
  if (text.empty()) {
    return;
  }
  // Nothing can be done about a failed write to the terminal.
  [[maybe_unused]] const ssize_t written = ::write(fd, text.data(), text.size());
}

// Whether the path still names what it named when the note was armed (or still nothing).
bool Unchanged() {
  struct stat now {};
  if (::stat(note.path, &now) != 0) {
    return !note.existed;
  }
  return note.existed && now.st_dev == note.device && now.st_ino == note.inode;
}

}  // namespace

InterruptNote::InterruptNote(int fd, const std::string& outputPath) {
  if (outputPath.size() >= sizeof note.path) {
    return;
  }
  std::memcpy(note.path, outputPath.c_str(), outputPath.size() + 1);
  struct stat before {};
  note.existed = ::stat(note.path, &before) == 0;
  note.regular = !note.existed || S_ISREG(before.st_mode);
  note.device = before.st_dev;
  note.inode = before.st_ino;
  noteFd.store(fd);
}

InterruptNote::~InterruptNote() {
  noteFd.store(-1);
}

void WriteInterruptNoteFromSignal(int signal) noexcept {
  const int fd = noteFd.exchange(-1);
  if (fd < 0) {
    return;
  }
  const OutputFate fate = !note.regular ? OutputFate::NotAFile
                          : Unchanged() ? OutputFate::Unchanged
                                        : OutputFate::Written;
  for (std::string_view piece : InterruptNotePieces(signal == SIGINT, note.path, fate)) {
    Write(fd, piece);
  }
}

}  // namespace pelmo
