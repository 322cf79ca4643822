#include "net/curl_session.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstddef>
#include <string_view>
#include <utility>

#include "base/ascii.h"
#include "net/curl_share_state.h"
#include "net/received_text.h"

namespace pelmo {
namespace {

// What one attempt learns from the header and body callbacks.
struct AttemptState {
  AttemptState(CURL* curl, std::size_t limit) : curl(curl), body(limit) {}

  CURL* curl;
  int blockStatus = 0;    // status line of the header block being read
  bool answered = false;  // any status line came, of whatever response
  bool blockHasLocation = false;
  int finalStatus = 0;  // set once the headers of the final response are complete
  ReceivedText body;
};

int ParseStatusLine(std::string_view line) {
  // "HTTP/1.1 200 OK" or "HTTP/2 200"
  const std::size_t space = line.find(' ');
  if (space == std::string_view::npos) {
    return 0;
  }
  int status = 0;
  for (std::size_t i = space + 1; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
    status = status * 10 + (line[i] - '0');
    if (status > 999) {
      return 0;
    }
  }
  return status;
}

// libcurl hands over each header line, status lines and the blank line that ends a block
// included. A block is final unless it is informational (1xx) or a redirect that libcurl
// is about to follow (3xx with a Location).
std::size_t OnHeaderLine(char* data, std::size_t size, std::size_t count, void* user) {
  auto& state = *static_cast<AttemptState*>(user);
  const std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) {
    state.blockStatus = ParseStatusLine(line);
    state.blockHasLocation = false;
    state.answered = true;
  } else if (StartsWithNoCase(line, "location:")) {
    state.blockHasLocation = true;
  } else if (line == "\r\n" || line == "\n") {
    const int status = state.blockStatus;
    const bool redirect = status >= 300 && status < 400 && state.blockHasLocation;
    if (status >= 200 && !redirect) {
      state.finalStatus = status;
    }
  }
  return size * count;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& state = *static_cast<AttemptState*>(user);
  if (state.finalStatus != 200) {
    // Only a page is worth reading; a wrong count makes libcurl stop the transfer.
    return 0;
  }
  curl_off_t length = 0;
  if (state.body.text().empty() &&
      curl_easy_getinfo(state.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
      length > 0) {
    // Room for the announced body and a share of line-feed expansion in one allocation.
    const auto announced = static_cast<std::size_t>(length);
    state.body.Reserve(announced + announced / 16);
  }
  const auto status = state.body.Append(std::string_view(data, size * count));
  return status == ReceivedText::Status::Open ? size * count : 0;
}

std::string ReasonFor(CURLcode code, long osErrno) {
  switch (code) {
    case CURLE_COULDNT_CONNECT:
      return osErrno == ECONNREFUSED ? "connection refused" : "cannot connect";
    case CURLE_OPERATION_TIMEDOUT:
      return "timed out";
    case CURLE_COULDNT_RESOLVE_HOST:
      return "cannot resolve host name";
    case CURLE_COULDNT_RESOLVE_PROXY:
      return "cannot resolve proxy name";
    case CURLE_GOT_NOTHING:
      return "connection closed without a response";
    case CURLE_RECV_ERROR:
      return osErrno == ECONNRESET ? "connection reset" : "receive error";
    case CURLE_SEND_ERROR:
      return "send error";
    case CURLE_PARTIAL_FILE:
      return "body cut short";
    case CURLE_TOO_MANY_REDIRECTS:
      return "too many redirects";
    case CURLE_UNSUPPORTED_PROTOCOL:
      return "unsupported protocol";
    case CURLE_URL_MALFORMAT:
      return "malformed address";
    case CURLE_WEIRD_SERVER_REPLY:
      return "malformed response";
    case CURLE_PEER_FAILED_VERIFICATION:
      return "server certificate not trusted";
    case CURLE_SSL_CONNECT_ERROR:
      return "TLS handshake failed";
    default:
      return curl_easy_strerror(code);
  }
}

// The easy handle a finished fetch left in the share, reset to no options; else a new one.
CURL* TakeEasyHandle(CurlShareState* share) {
  if (share == nullptr || share->spareEasy == nullptr) {
    return curl_easy_init();
  }
  CURL* curl = std::exchange(share->spareEasy, nullptr);
  curl_easy_reset(curl);
  return curl;
}

}  // namespace

CurlSession::CurlSession(const HttpFetchOptions& options, void* share)
    : share_(share),
      handle_(TakeEasyHandle(static_cast<CurlShareState*>(share))),
      maxTextBytes_(options.maxTextBytes) {
  CURL* curl = handle_;
  if (curl == nullptr) {
    return;
  }
  // Failures to set an option are ignored: each has a workable default.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, options.userAgent.c_str());
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(options.connectTimeout.count()));
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(options.stallTimeout.count()));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(options.attemptTimeout.count()));
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, static_cast<long>(options.maxRedirects));
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  if (share != nullptr) {
    curl_easy_setopt(curl, CURLOPT_SHARE, static_cast<CurlShareState*>(share)->share);
  } else {
    // On its own the session keeps nothing: one connection per attempt.
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
  }
  if (!options.caFileForTests.empty()) {
    curl_easy_setopt(curl, CURLOPT_CAINFO, options.caFileForTests.c_str());
    curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
  }
  // A proxy's answer to CONNECT must not pass for the final response's status.
  curl_easy_setopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &OnHeaderLine);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
}

CurlSession::~CurlSession() {
  if (handle_ == nullptr) {
    return;
  }
  auto* share = static_cast<CurlShareState*>(share_);
  if (share != nullptr && share->spareEasy == nullptr) {
    share->spareEasy = handle_;
  } else {
    curl_easy_cleanup(handle_);
  }
}

Result CurlSession::Get(const std::string& address, std::string& body) {
  CURL* curl = handle_;
  AttemptState state(curl, maxTextBytes_);
  curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &state);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &state);
  const CURLcode code = curl_easy_perform(curl);
  // The state must not outlive this call in libcurl's hands.
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, nullptr);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);

  int status = state.finalStatus;
  if (code == CURLE_OK && status == 0) {
    // Headers that never formed a complete final block; take libcurl's own reading.
    long reported = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reported);
    status = static_cast<int>(reported);
  }
  const auto bodyStatus = state.body.status();
  if (code == CURLE_OK || (status != 0 && status != 200) ||
      bodyStatus == ReceivedText::Status::Ended) {
    // Past the status every outcome but a broken or oversized page is a response.
    body = state.body.TakeText();
    return ResponseResult(status);
  }
  if (bodyStatus == ReceivedText::Status::TooLarge || code == CURLE_OUT_OF_MEMORY) {
    return Failure(Reason::TooLarge, "page too large", status);
  }
  long osErrno = 0;
  curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osErrno);
  return Failure(AttemptFailure(status, state.answered), ReasonFor(code, osErrno), status);
}

}  // namespace pelmo
