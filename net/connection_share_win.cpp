#include "net/connection_share.h"

#include <windows.h>
#include <winhttp.h>

#include "net/http_session_win.h"

namespace pelmo {

// WinHTTP keeps connections (and TLS sessions) per session handle: one session for the run
// is what lets the pages after the first go out on a kept connection.
ConnectionShare::ConnectionShare() : handle_(OpenWinHttpSession(ExecutableName())) {}

ConnectionShare::~ConnectionShare() {
  if (handle_ != nullptr) {
    ::WinHttpCloseHandle(handle_);
  }
}

}  // namespace pelmo
