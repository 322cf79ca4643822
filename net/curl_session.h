// One HTTP session on libcurl: an easy handle configured once and used for the attempts of
// one fetch.
//
// Each attempt is a plain GET, following redirects up to the configured limit, with the
// proxy settings libcurl reads from the environment. Given a share handle, the session takes
// its connections from the share's cache and leaves them there; libcurl sends a request
// again on a new connection, within the same attempt, only when a kept connection turns
// out closed before any byte of the answer. Without one, each attempt has a fresh
// connection. The status reported is
// the final response's. The body is taken only when that status is 200; for any other
// status the transfer stops without reading it.
#pragma once

#include <string>

#include "net/http_options.h"

namespace pelmo {

struct HttpAttempt {
  enum class Result {
    Response,       // the final status was read; `text` holds the body when it is 200
    RequestFailed,  // no final status: connecting, sending or reading the headers failed
    BodyFailed,     // status 200 was read but the body could not be read to its end
    BodyTooLarge,   // the body exceeded the text limit, or memory ran out while reading it
  };
  Result result = Result::RequestFailed;
  int status = 0;         // the final status, 0 when none was read
  bool answered = false;  // a status line was read, of whatever response
  std::string text;       // the received body with LF expanded to CR LF, up to a zero byte
  std::string reason;     // why the attempt failed, in a few words; empty for Response
};

class CurlSession {
 public:
  // `share` is a CURLSH* or null; it must outlive the session.
  CurlSession(const HttpFetchOptions& options, void* share);
  ~CurlSession();
  CurlSession(const CurlSession&) = delete;
  CurlSession& operator=(const CurlSession&) = delete;

  // False when libcurl could not create the handle; Get must not be called then.
  bool IsOpen() const { return handle_ != nullptr; }

  HttpAttempt Get(const std::string& address);

 private:
  void* handle_;  // CURL*, kept opaque so that users of this header do not see libcurl
  std::size_t maxTextBytes_;
};

}  // namespace pelmo
