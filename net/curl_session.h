// One HTTP session on libcurl: an easy handle configured once and used for the attempts of
// one fetch.
//
// Each attempt is a plain GET, following redirects up to the configured limit, with the
// proxy settings libcurl reads from the environment. Given a share handle, the session takes
// its connections from the share's cache and leaves them there; libcurl sends a request
// again on a new connection, within the same attempt, only when a kept connection turns
// out closed before any byte of the answer. Without one, each attempt has a fresh
// connection. The status reported is the final response's. The body is taken only when
// that status is 200; for any other status the transfer stops without reading it. What the
// request's outcome means is not decided here (see net/fetch_policy.h).
#pragma once

#include <string>

#include "net/fetch_attempts.h"
#include "net/http_options.h"

namespace pelmo {

class CurlSession : public HttpTransport {
 public:
  // `share` is a ConnectionShare's handle or null; it must outlive the session, which takes
  // the easy handle the share keeps, if any, and leaves its own there when it ends.
  CurlSession(const HttpFetchOptions& options, void* share);
  ~CurlSession() override;
  CurlSession(const CurlSession&) = delete;
  CurlSession& operator=(const CurlSession&) = delete;

  // False when libcurl could not create the handle; Get must not be called then.
  bool IsOpen() const { return handle_ != nullptr; }

  // Makes one request (see HttpTransport).
  HttpExchange Exchange(const std::string& address, std::string& body,
                        const AttemptTimeLeft& timeLeft) override;

 private:
  void* share_;   // CurlShareState*, not owned
  void* handle_;  // CURL*, kept opaque so that users of this header do not see libcurl
  std::size_t maxTextBytes_;
};

}  // namespace pelmo
