// The WinHTTP side of the HTTP session (net/http_session.h) and of the connection share:
// WinHTTP keeps connections (and TLS sessions) per session handle, so the run's share is
// one session handle that every fetch's session uses. What happened is reported as the
// libcurl session reports it, and judged above both (net/fetch_policy.h).
#pragma once

#include <string>

#include "net/fetch_attempts.h"

namespace pelmo {

// What a ConnectionShare holds on WinHTTP.
struct ConnectionShareState {
  void* session;  // HINTERNET, owned; never null
};

// A WinHTTP session handle (HINTERNET) with `userAgent`, taking the system's proxy
// settings; null when WinHTTP cannot open one.
void* OpenWinHttpSession(const std::string& userAgent);

// The transport fault of WinHTTP's error `code`. A refused port and an unreachable host are
// one error there: CannotConnect.
TransportFault WinHttpFault(unsigned long code);

}  // namespace pelmo
