#include "net/connection_share.h"

#include <windows.h>
#include <winhttp.h>

#include <new>

#include "net/http_session_win.h"

namespace pelmo {

// WinHTTP keeps connections (and TLS sessions) per session handle: one session for the run
// is what lets the pages after the first go out on a kept connection.
ConnectionShare::ConnectionShare() : handle_(nullptr) {
  void* session = OpenWinHttpSession(ExecutableName());
  if (session == nullptr) {
    return;
  }
  handle_ = new (std::nothrow) ConnectionShareState{session};
  if (handle_ == nullptr) {
    ::WinHttpCloseHandle(session);
  }
}

ConnectionShare::~ConnectionShare() {
  if (handle_ != nullptr) {
    ::WinHttpCloseHandle(handle_->session);
    delete handle_;
  }
}

}  // namespace pelmo
