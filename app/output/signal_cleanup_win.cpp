// Windows has no signals of this kind: Ctrl+C, Ctrl+Break and closing the console window
// reach a console control handler, on a thread of its own. It removes the temporary files
// and ends the process with STATUS_CONTROL_C_EXIT; while the new file and the backup take
// their names, it waits.
#include "app/output/signal_cleanup.h"

#include <windows.h>

#include <array>
#include <mutex>

#include "platform/wide_text_win.h"

namespace pelmo {
namespace {

// The handler runs on another thread, so the names it removes are shared; the process has
// one of each.
struct Temporaries {
  std::recursive_mutex lock;
  std::array<std::wstring, 8> names;
};

Temporaries& TheTemporaries() {
  static Temporaries temporaries;
  return temporaries;
}

BOOL WINAPI OnConsoleControl(DWORD) {
  Temporaries& temporaries = TheTemporaries();
  const std::lock_guard<std::recursive_mutex> hold(temporaries.lock);
  for (std::wstring& name : temporaries.names) {
    if (!name.empty()) {
      // The file is open on the main thread, shared for deleting: it goes when the process
      // ends, which closes it.
      ::DeleteFileW(name.c_str());
      name.clear();
    }
  }
  // Ended here, with the code an interrupted program has, so that no caller takes the run
  // for a success (Wine's default action ends it with 0). Terminated, not exited: the main
  // thread may hold any lock of the C library.
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(STATUS_CONTROL_C_EXIT));
  return TRUE;
}

}  // namespace

struct SavedSignalMask {
  std::unique_lock<std::recursive_mutex> hold;
};

void SetUpSignals() {
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

SignalsHeldBack::SignalsHeldBack()
    : saved_(std::make_unique<SavedSignalMask>(
          SavedSignalMask{std::unique_lock<std::recursive_mutex>(TheTemporaries().lock)})) {}

SignalsHeldBack::~SignalsHeldBack() = default;

TemporaryNameForSignals::TemporaryNameForSignals(const std::string& path) : slot_(-1) {
  Temporaries& temporaries = TheTemporaries();
  const std::lock_guard<std::recursive_mutex> hold(temporaries.lock);
  for (std::size_t i = 0; i < temporaries.names.size(); ++i) {
    if (temporaries.names[i].empty()) {
      temporaries.names[i] = Widen(path);
      slot_ = static_cast<int>(i);
      return;
    }
  }
}

TemporaryNameForSignals::~TemporaryNameForSignals() {
  if (slot_ >= 0) {
    Temporaries& temporaries = TheTemporaries();
    const std::lock_guard<std::recursive_mutex> hold(temporaries.lock);
    temporaries.names[static_cast<std::size_t>(slot_)].clear();
  }
}

}  // namespace pelmo
