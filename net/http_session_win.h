// One HTTP session on WinHTTP, Windows' own HTTP client: a session handle configured once
// and used for the attempts of one fetch.
//
// WinHTTP keeps no page cache, so every request goes to the service; it shows no dialog;
// it takes the system's proxy settings and checks https certificates against Windows' own
// store. Each attempt is a plain GET following redirects up to the configured limit. The
// body is read only when the final status is 200. Failure reasons are the libcurl
// session's words for the same faults ("connection refused", "timed out", ...).
#ifndef PELMO_NET_HTTP_SESSION_WIN_H_
#define PELMO_NET_HTTP_SESSION_WIN_H_

#include <string>

#include "net/http_attempt.h"
#include "net/http_options.h"

namespace pelmo {

class WinHttpSession {
 public:
  explicit WinHttpSession(const HttpFetchOptions& options);
  ~WinHttpSession();
  WinHttpSession(const WinHttpSession&) = delete;
  WinHttpSession& operator=(const WinHttpSession&) = delete;

  // False when WinHTTP could not open a session; Get must not be called then.
  bool IsOpen() const { return session_ != nullptr; }

  HttpAttempt Get(const std::string& address);

 private:
  void* session_;  // HINTERNET, kept opaque so that users of this header do not see windows.h
  std::size_t maxTextBytes_;
  int maxRedirects_;
};

// The words for WinHTTP's error `code` on a request to `host`:`port`. A connection that
// could not be made is looked at once more to tell a refusal from other faults, which
// WinHTTP reports alike.
std::string WinHttpFailureReason(unsigned long code, const std::wstring& host, int port);

}  // namespace pelmo

#endif  // PELMO_NET_HTTP_SESSION_WIN_H_
