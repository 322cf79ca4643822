#include "net/http_session.h"

#include <curl/curl.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "base/ascii.h"
#include "net/curl_share_state.h"
#include "net/received_text.h"

namespace pelmo {
namespace {

// What one attempt learns from the header, body and progress callbacks.
struct AttemptState {
  AttemptState(CURL* curl, std::size_t limit, const AttemptTimeLeft& timeLeft)
      : curl(curl), body(limit), timeLeft(timeLeft) {}

  CURL* curl;
  int blockStatus = 0;     // status line of the header block being read
  bool blockOpen = false;  // a status line came whose block has not ended yet
  bool blockHasLocation = false;
  bool blockChunked = false;
  std::string blockRetryAfter;
  HttpExchange exchange;  // `status` set once the headers of the final response are complete
  ReceivedText body;
  const AttemptTimeLeft& timeLeft;
};

// A header's value without the blanks around it and the line end.
std::string TrimmedLine(std::string_view value) {
  const std::size_t first = value.find_first_not_of(" \t");
  const std::size_t last = value.find_last_not_of(" \t\r\n");
  return first == std::string_view::npos ? std::string()
                                         : std::string(value.substr(first, last - first + 1));
}

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
    state.blockOpen = true;
    state.blockHasLocation = false;
    state.blockChunked = false;
    state.blockRetryAfter.clear();
    state.exchange.answered = true;
  } else if (StartsWithNoCase(line, "location:")) {
    state.blockHasLocation = true;
  } else if (StartsWithNoCase(line, "transfer-encoding:")) {
    state.blockChunked = TrimmedLine(line.substr(18)).find("chunked") != std::string::npos;
  } else if (StartsWithNoCase(line, "retry-after:")) {
    state.blockRetryAfter = TrimmedLine(line.substr(12));
  } else if (line == "\r\n" || line == "\n") {
    state.blockOpen = false;
    const int status = state.blockStatus;
    const bool redirect = status >= 300 && status < 400 && state.blockHasLocation;
    if (status >= 200 && !redirect) {
      state.exchange.status = status;
      state.exchange.retryAfter = state.blockRetryAfter;
      state.exchange.chunked = state.blockChunked;
    }
  }
  return size * count;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& state = *static_cast<AttemptState*>(user);
  if (state.exchange.status != 200) {
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

TransportFault FaultOf(CURLcode code, long osErrno, bool answered) {
  switch (code) {
    case CURLE_OK:
      return TransportFault::None;
    case CURLE_COULDNT_CONNECT:
      return osErrno == ECONNREFUSED ? TransportFault::Refused : TransportFault::CannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_ABORTED_BY_CALLBACK:  // only the progress callback, when time ran out
      return TransportFault::TimedOut;
    case CURLE_COULDNT_RESOLVE_HOST:
      return TransportFault::NameNotFound;
    case CURLE_COULDNT_RESOLVE_PROXY:
      return TransportFault::ProxyNameNotFound;
    case CURLE_GOT_NOTHING:
      return TransportFault::ClosedWithoutResponse;
    case CURLE_RECV_ERROR:
      return osErrno == ECONNRESET ? TransportFault::Reset : TransportFault::ReceiveFailed;
    case CURLE_SEND_ERROR:
      return TransportFault::SendFailed;
    case CURLE_PARTIAL_FILE:
      return TransportFault::CutShort;
    case CURLE_TOO_MANY_REDIRECTS:
      return TransportFault::TooManyRedirects;
    case CURLE_UNSUPPORTED_PROTOCOL:
      // Before any status line, it is libcurl refusing an answer without one.
      return answered ? TransportFault::UnsupportedProtocol : TransportFault::NoStatusLine;
    case CURLE_URL_MALFORMAT:
      return TransportFault::MalformedAddress;
    case CURLE_WEIRD_SERVER_REPLY:
      return TransportFault::MalformedResponse;
    case CURLE_PEER_FAILED_VERIFICATION:
      return TransportFault::CertificateNotTrusted;
    case CURLE_SSL_CONNECT_ERROR:
      return TransportFault::TlsFailed;
    case CURLE_OUT_OF_MEMORY:
      return TransportFault::OutOfMemory;
    default:
      return TransportFault::Other;
  }
}

// Asked by libcurl about once a second and whenever data moves: a non-zero answer ends the
// transfer with CURLE_ABORTED_BY_CALLBACK.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto& state = *static_cast<AttemptState*>(user);
  return state.timeLeft() <= std::chrono::milliseconds::zero() ? 1 : 0;
}

// The easy handle a finished fetch left in the share, reset to no options; else a new one.
CURL* TakeEasyHandle(ConnectionShareState* share) {
  if (share == nullptr || share->spareEasy == nullptr) {
    return curl_easy_init();
  }
  CURL* curl = std::exchange(share->spareEasy, nullptr);
  curl_easy_reset(curl);
  return curl;
}

}  // namespace

HttpSession::HttpSession(const HttpFetchOptions& options, ConnectionShareState* share)
    : options_(options), share_(share), handle_(TakeEasyHandle(share)) {
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
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &OnProgress);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, static_cast<long>(options.maxRedirects));
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  if (share != nullptr) {
    curl_easy_setopt(curl, CURLOPT_SHARE, share->share);
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

HttpSession::~HttpSession() {
  if (handle_ == nullptr) {
    return;
  }
  if (share_ != nullptr && share_->spareEasy == nullptr) {
    share_->spareEasy = handle_;
  } else {
    curl_easy_cleanup(handle_);
  }
}

HttpExchange HttpSession::Exchange(const std::string& address, std::string& body,
                                   const AttemptTimeLeft& timeLeft) {
  CURL* curl = handle_;
  AttemptState state(curl, options_.maxTextBytes, timeLeft);
  curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &state);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &state);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &state);
  // No libcurl timer of its own for the whole attempt: the progress callback asks the fetch's
  // clock, so that the attempt ends exactly when the fetch says its time is up.
  const CURLcode code = curl_easy_perform(curl);
  // The state must not outlive this call in libcurl's hands.
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, nullptr);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, nullptr);

  HttpExchange& exchange = state.exchange;
  exchange.headersCut = state.blockOpen;
  curl_off_t length = -1;
  if (exchange.status != 0 &&
      curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
      length >= 0) {
    exchange.announcedLength = static_cast<std::uint64_t>(length);
  }
  exchange.bodyBytes = state.body.bytesIn();
  exchange.bodyStatus = state.body.status();
  if (exchange.status == 200 && exchange.bodyStatus != ReceivedText::Status::TooLarge) {
    body = state.body.TakeText();
  }
  long osErrno = 0;
  curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osErrno);
  exchange.fault = FaultOf(code, osErrno, exchange.answered);
  if (exchange.fault == TransportFault::Other) {
    exchange.faultText = curl_easy_strerror(code);
  }
  return exchange;
}

}  // namespace pelmo
