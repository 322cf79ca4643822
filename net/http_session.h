// The platform's HTTP facility behind HttpFetcher, chosen here and nowhere else: libcurl on
// POSIX systems, WinHTTP on Windows. Both sessions offer the same calls: construction from
// HttpFetchOptions and the ConnectionShare's handle (or null), IsOpen, and the HttpTransport
// call Exchange (net/fetch_attempts.h), which makes one request and reports what happened.
#pragma once

#ifdef _WIN32
#include "net/http_session_win.h"
namespace pelmo {
using HttpSession = WinHttpSession;
}  // namespace pelmo
#else
#include "net/curl_session.h"
namespace pelmo {
using HttpSession = CurlSession;
}  // namespace pelmo
#endif
