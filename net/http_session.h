// One HTTP session for the attempts of one fetch, on the system's HTTP facility: libcurl on
// POSIX systems (net/http_session_posix.cpp), WinHTTP on Windows (net/http_session_win.cpp);
// CMake builds the one of the system.
//
// Each attempt is a plain GET, following redirects up to the configured limit. Given the
// run's ConnectionShare, the session goes out on its kept connections and leaves its own
// there; without one, each attempt has a fresh connection (libcurl) or the session's own
// (WinHTTP). The status reported is the final response's. The body is taken only when that
// status is 200; for any other status the transfer stops without reading it. What the
// request's outcome means is not decided here (see net/fetch_policy.h).
//
// libcurl reads the proxy settings from the environment and sends a request again on a new
// connection, within the same attempt, only when a kept connection turns out closed before
// any byte of the answer. WinHTTP keeps no page cache, so every request goes to the
// service; it shows no dialog, takes the system's proxy settings and checks https
// certificates against Windows' own store.
#pragma once

#include <string>

#include "net/connection_share.h"
#include "net/fetch_attempts.h"
#include "net/http_exchange.h"
#include "net/http_options.h"

namespace pelmo {

class HttpSession : public HttpTransport {
 public:
  // `share` is the run's share state or null; `share` and `options` must outlive the
  // session.
  HttpSession(const HttpFetchOptions& options, ConnectionShareState* share);
  ~HttpSession() override;
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  // False when the system could not open the session; Exchange must not be called then.
  bool IsOpen() const { return handle_ != nullptr; }

  // Makes one request (see HttpTransport).
  HttpExchange Exchange(const std::string& address, std::string& body,
                        const AttemptTimeLeft& timeLeft) override;

 private:
  const HttpFetchOptions& options_;
  ConnectionShareState* share_;  // not owned; null without a share
  // libcurl's easy handle (CURL*) or a WinHTTP session (HINTERNET), owned unless it is the
  // share's; kept opaque so that users of this header see neither library.
  void* handle_;
};

}  // namespace pelmo
