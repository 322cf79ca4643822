// The platform's HTTP facility behind HttpFetcher, chosen here and nowhere else: libcurl on
// POSIX systems, WinHTTP on Windows. Both sessions offer the same three calls: construction
// from HttpFetchOptions, IsOpen and Get, which makes one request and returns an HttpAttempt.
#ifndef PELMO_NET_HTTP_SESSION_H_
#define PELMO_NET_HTTP_SESSION_H_

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

#endif  // PELMO_NET_HTTP_SESSION_H_
