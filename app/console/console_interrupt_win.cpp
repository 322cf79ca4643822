#include "app/console/console_interrupt.h"

#include <windows.h>

#include <mutex>
#include <optional>
#include <tuple>

#include "app/console/interrupt_note_text.h"
#include "platform/wide_text_win.h"

namespace pelmo {
namespace {

using FileIdentity = std::tuple<DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD>;

struct Armed {
  TerminalDisplay* display;
  std::string path;
  bool regular;
  std::optional<FileIdentity> before;
};

// The handler runs on a thread of its own, and the run may end while it reports.
std::mutex armedLock;
std::optional<Armed> armed;

// What the path names now: nullopt when it names nothing. `regular` is cleared for a
// folder or a device.
std::optional<FileIdentity> IdentityOf(const std::string& path, bool* regular) {
  const HANDLE file =
      ::CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = ::GetFileInformationByHandle(file, &info) != 0 &&
                     ::GetFileType(file) == FILE_TYPE_DISK &&
                     (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  ::CloseHandle(file);
  if (regular != nullptr) {
    *regular = known;
  }
  return FileIdentity{info.dwVolumeSerialNumber,
                      info.nFileIndexHigh,
                      info.nFileIndexLow,
                      info.nFileSizeHigh,
                      info.nFileSizeLow,
                      info.ftLastWriteTime.dwHighDateTime,
                      info.ftLastWriteTime.dwLowDateTime};
}

BOOL WINAPI OnConsoleControl(DWORD event) {
  return ReportConsoleControl(event) ? TRUE : FALSE;
}

}  // namespace

ConsoleInterruptNote::ConsoleInterruptNote(TerminalDisplay& display,
                                           const std::string& outputPath) {
  bool regular = true;
  std::optional<FileIdentity> before = IdentityOf(outputPath, &regular);
  {
    const std::lock_guard lock(armedLock);
    armed = Armed{&display, outputPath, regular, before};
  }
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

ConsoleInterruptNote::~ConsoleInterruptNote() {
  ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  const std::lock_guard lock(armedLock);
  armed.reset();
}

bool ReportConsoleControl(unsigned long event) {
  const std::lock_guard lock(armedLock);
  if (!armed) {
    return false;
  }
  OutputFate fate = OutputFate::NotAFile;
  if (armed->regular) {
    fate = IdentityOf(armed->path, nullptr) == armed->before ? OutputFate::Unchanged
                                                             : OutputFate::Written;
  }
  std::string note;
  for (std::string_view piece : InterruptNotePieces(event == CTRL_C_EVENT, armed->path, fate)) {
    note += piece;
  }
  armed->display->Finish(note);
  armed.reset();
  return false;
}

}  // namespace pelmo
