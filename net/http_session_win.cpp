#include "net/http_session.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string_view>

#include "net/http_session_win.h"
#include "net/received_text.h"
#include "platform/wide_text_win.h"

namespace pelmo {
namespace {

constexpr DWORD kReadSize = 64 * 1024;

struct InternetCloser {
  void operator()(void* handle) const { ::WinHttpCloseHandle(handle); }
};
using Internet = std::unique_ptr<void, InternetCloser>;

// The parts of an address that WinHTTP takes separately.
struct AddressParts {
  std::wstring host;
  std::wstring pathAndQuery;
  INTERNET_PORT port = 0;
  bool secure = false;
};

bool SplitAddress(const std::string& address, AddressParts& parts) {
  const std::wstring wide = Widen(address);
  URL_COMPONENTS url{};
  url.dwStructSize = sizeof url;
  url.dwHostNameLength = static_cast<DWORD>(-1);
  url.dwUrlPathLength = static_cast<DWORD>(-1);
  url.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!::WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &url)) {
    return false;
  }
  parts.host.assign(url.lpszHostName, url.dwHostNameLength);
  parts.pathAndQuery.assign(url.lpszUrlPath, url.dwUrlPathLength);
  parts.pathAndQuery.append(url.lpszExtraInfo, url.dwExtraInfoLength);
  if (parts.pathAndQuery.empty()) {
    parts.pathAndQuery = L"/";
  }
  parts.port = url.nPort;
  parts.secure = url.nScheme == INTERNET_SCHEME_HTTPS;
  return true;
}

std::optional<DWORD> QueryNumber(HINTERNET request, DWORD what) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (!::WinHttpQueryHeaders(request, what | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &value, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
    return std::nullopt;
  }
  return value;
}

// A header's value as ASCII text; empty when there is none.
std::string QueryText(HINTERNET request, DWORD what) {
  wchar_t value[256] = {};
  DWORD size = sizeof value - sizeof value[0];
  if (!::WinHttpQueryHeaders(request, what, WINHTTP_HEADER_NAME_BY_INDEX, value, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
    return {};
  }
  std::string text;
  for (std::size_t i = 0; i < size / sizeof value[0]; ++i) {
    text += value[i] < 0x80 ? static_cast<char>(value[i]) : '?';
  }
  return text;
}

// The time left, in WinHTTP's milliseconds, but no more than `most`; at least 1, as 0 would
// mean no time-out at all. A little more than what is left, so that when WinHTTP's timer
// ends the attempt, the fetch's clock has passed the end too and counts it as out of time.
int Bounded(const AttemptTimeLeft& timeLeft, int most) {
  constexpr long long kPastTheEnd = 50;
  const auto left = timeLeft().count() + kPastTheEnd;
  return static_cast<int>(std::clamp<long long>(left, 1, most));
}

// A failure while the body comes in: a connection that ends early is a body cut short.
TransportFault BodyFault(unsigned long code) {
  const TransportFault fault = WinHttpFault(code);
  return fault == TransportFault::ClosedWithoutResponse || fault == TransportFault::Other
             ? TransportFault::CutShort
             : fault;
}

// Reads the body of a 200 response into `body`; the exchange learns how it went.
void ReadBody(HINTERNET request, std::size_t limit, int stallTimeout,
              const AttemptTimeLeft& timeLeft, HttpExchange& exchange, std::string& body) {
  ReceivedText received(limit);
  if (exchange.announcedLength) {
    received.Reserve(*exchange.announcedLength);
  }
  std::string chunk(kReadSize, '\0');
  for (;;) {
    if (timeLeft() <= std::chrono::milliseconds::zero()) {
      exchange.fault = TransportFault::TimedOut;
      break;
    }
    // Each wait for data ends with the stall time-out, or earlier when the attempt's time
    // runs out.
    DWORD wait = static_cast<DWORD>(Bounded(timeLeft, stallTimeout));
    ::WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_TIMEOUT, &wait, sizeof wait);
    // Ask what has arrived and read only that: a read asked for more may wait until it has
    // it (Wine's does), which a trickle of bytes would make last for ever.
    DWORD ready = 0;
    if (!::WinHttpQueryDataAvailable(request, &ready)) {
      exchange.fault = BodyFault(::GetLastError());
      break;
    }
    DWORD got = 0;
    if (ready > 0 && !::WinHttpReadData(request, chunk.data(), std::min(ready, kReadSize), &got)) {
      exchange.fault = BodyFault(::GetLastError());
      break;
    }
    // No byte: WinHTTP saw the end, or the connection closed; the length check tells them apart.
    if (got == 0 ||
        received.Append(std::string_view(chunk.data(), got)) != ReceivedText::Status::Open) {
      break;
    }
  }
  exchange.bodyBytes = received.bytesIn();
  exchange.bodyStatus = received.status();
  if (exchange.bodyStatus != ReceivedText::Status::TooLarge) {
    body = received.TakeText();
  }
}

}  // namespace

// WSAETIMEDOUT: some WinHTTP implementations (Wine's among them) pass the socket's own error
// on when the wait for the headers runs out.
constexpr unsigned long kSocketTimedOut = 10060;

TransportFault WinHttpFault(unsigned long code) {
  switch (code) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
      // WinHTTP says the same for a refused port and an unreachable host.
      return TransportFault::CannotConnect;
    case ERROR_WINHTTP_TIMEOUT:
    case kSocketTimedOut:
      return TransportFault::TimedOut;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return TransportFault::NameNotFound;
    case ERROR_WINHTTP_CONNECTION_ERROR:
      return TransportFault::Reset;
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      return TransportFault::ClosedWithoutResponse;
    case ERROR_WINHTTP_REDIRECT_FAILED:
      return TransportFault::TooManyRedirects;
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
      return TransportFault::UnsupportedProtocol;
    case ERROR_WINHTTP_INVALID_URL:
      return TransportFault::MalformedAddress;
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_FAILURE:
      return TransportFault::CertificateNotTrusted;
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
      return TransportFault::TlsFailed;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return TransportFault::OutOfMemory;
    default:
      return TransportFault::Other;
  }
}

void* OpenWinHttpSession(const std::string& userAgent) {
  const std::wstring agent = Widen(userAgent);
  // The system's proxy settings; systems before Windows 8.1 know only the WinHTTP default.
  HINTERNET session = ::WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (session == nullptr) {
    session = ::WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, 0);
  }
  return session;
}

HttpSession::HttpSession(const HttpFetchOptions& options, ConnectionShareState* share)
    : options_(options),
      share_(share),
      handle_(share != nullptr ? share->session : OpenWinHttpSession(options.userAgent)) {}

HttpSession::~HttpSession() {
  if (share_ == nullptr && handle_ != nullptr) {
    ::WinHttpCloseHandle(handle_);
  }
}

HttpExchange HttpSession::Exchange(const std::string& address, std::string& body,
                                   const AttemptTimeLeft& timeLeft) {
  // Name resolution and connecting are bounded like libcurl's connect time-out; sending and
  // each wait for data like its stall time-out (both in milliseconds here).
  const int connectTimeout = static_cast<int>(options_.connectTimeout.count());
  const int stallTimeout = static_cast<int>(options_.stallTimeout.count() * 1000);
  HttpExchange exchange;
  const auto fail = [&exchange](DWORD code) {
    exchange.fault = WinHttpFault(code);
    if (exchange.fault == TransportFault::Other) {
      exchange.faultText = "WinHTTP error " + std::to_string(code);
    }
    // A redirect that could not be followed came as an answer.
    exchange.answered = exchange.fault == TransportFault::TooManyRedirects;
    return exchange;
  };
  AddressParts parts;
  if (!SplitAddress(address, parts)) {
    return fail(::GetLastError());
  }
  const Internet connection(::WinHttpConnect(handle_, parts.host.c_str(), parts.port, 0));
  const Internet request(
      connection ? ::WinHttpOpenRequest(connection.get(), L"GET", parts.pathAndQuery.c_str(),
                                        nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                        parts.secure ? WINHTTP_FLAG_SECURE : 0)
                 : nullptr);
  if (!request) {
    return fail(::GetLastError());
  }
  // Set on the request, as the session may be the run's, shared with other settings.
  // Sending and the wait for the answer end with the stall time-out or with the attempt.
  const int wait = Bounded(timeLeft, stallTimeout);
  ::WinHttpSetTimeouts(request.get(), std::min(connectTimeout, wait),
                       std::min(connectTimeout, wait), wait, wait);
  // The wait for the whole header block has a time-out of its own, which the one above does
  // not set: without it a service that accepts and never answers holds the attempt for ever.
  DWORD headersWait = static_cast<DWORD>(wait);
  ::WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersWait,
                     sizeof headersWait);
  DWORD redirects = static_cast<DWORD>(options_.maxRedirects);
  ::WinHttpSetOption(request.get(), WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &redirects,
                     sizeof redirects);
  if (!::WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !::WinHttpReceiveResponse(request.get(), nullptr)) {
    return fail(::GetLastError());
  }
  // WinHTTP hands over the headers only once they are complete.
  exchange.answered = true;
  exchange.status =
      static_cast<int>(QueryNumber(request.get(), WINHTTP_QUERY_STATUS_CODE).value_or(0));
  exchange.retryAfter = QueryText(request.get(), WINHTTP_QUERY_RETRY_AFTER);
  exchange.chunked = QueryText(request.get(), WINHTTP_QUERY_TRANSFER_ENCODING).find("chunked") !=
                     std::string::npos;
  if (const auto length = QueryNumber(request.get(), WINHTTP_QUERY_CONTENT_LENGTH)) {
    exchange.announcedLength = *length;
  }
  if (exchange.status == 200) {
    // Only a page is worth reading.
    ReadBody(request.get(), options_.maxTextBytes, stallTimeout, timeLeft, exchange, body);
  }
  return exchange;
}

}  // namespace pelmo
