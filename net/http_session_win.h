// One HTTP session on WinHTTP, Windows' own HTTP client, for the attempts of one fetch: the
// run's session handle from the ConnectionShare, whose kept connections it uses, or one of
// its own.
//
// WinHTTP keeps no page cache, so every request goes to the service; it shows no dialog;
// it takes the system's proxy settings and checks https certificates against Windows' own
// store. Each attempt is a plain GET following redirects up to the configured limit. The
// body is read only when the final status is 200. What happened is reported as the libcurl
// session reports it, and judged above both (net/fetch_policy.h).
#pragma once

#include <string>

#include "net/fetch_attempts.h"
#include "net/http_exchange.h"
#include "net/http_options.h"

namespace pelmo {

class WinHttpSession : public HttpTransport {
 public:
  // `share` is the ConnectionShare's session handle or null; it must outlive the session.
  WinHttpSession(const HttpFetchOptions& options, void* share);
  ~WinHttpSession() override;
  WinHttpSession(const WinHttpSession&) = delete;
  WinHttpSession& operator=(const WinHttpSession&) = delete;

  // False when WinHTTP could not open a session; Get must not be called then.
  bool IsOpen() const { return session_ != nullptr; }

  // Makes one request (see HttpTransport).
  HttpExchange Exchange(const std::string& address, std::string& body,
                        const AttemptTimeLeft& timeLeft) override;

 private:
  void* session_;  // HINTERNET, kept opaque so that users of this header do not see windows.h
  bool ownsSession_;
  int connectTimeout_;  // milliseconds
  int stallTimeout_;    // milliseconds
  std::size_t maxTextBytes_;
  int maxRedirects_;
};

// A WinHTTP session handle (HINTERNET) with `userAgent`, taking the system's proxy
// settings; null when WinHTTP cannot open one.
void* OpenWinHttpSession(const std::string& userAgent);

// The transport fault of WinHTTP's error `code`. A refused port and an unreachable host are
// one error there: CannotConnect.
TransportFault WinHttpFault(unsigned long code);

}  // namespace pelmo
