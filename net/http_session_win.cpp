#include "net/http_session_win.h"

// winsock2.h must come before windows.h, which would bring the old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>
// (a block of its own, so that sorting keeps the order)
#include <windows.h>
#include <winhttp.h>

#include <memory>
#include <string_view>

#include "net/received_text.h"
#include "platform/wide_text_win.h"

namespace pelmo {
namespace {

constexpr DWORD kReadSize = 64 * 1024;
// How long the second look at a failed connection may take.
constexpr long kProbeMilliseconds = 2000;

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

// Whether a TCP connection to host:port is refused outright (rather than not answered).
bool ConnectionRefused(const std::wstring& host, int port) {
  WSADATA data{};
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    return false;
  }
  bool refused = false;
  ADDRINFOW* found = nullptr;
  const std::wstring service = std::to_wstring(port);
  if (::GetAddrInfoW(host.c_str(), service.c_str(), nullptr, &found) == 0) {
    for (const ADDRINFOW* at = found; at != nullptr && !refused; at = at->ai_next) {
      const SOCKET probe = ::socket(at->ai_family, SOCK_STREAM, IPPROTO_TCP);
      if (probe == INVALID_SOCKET) {
        continue;
      }
      u_long nonBlocking = 1;
      ::ioctlsocket(probe, FIONBIO, &nonBlocking);
      ::connect(probe, at->ai_addr, static_cast<int>(at->ai_addrlen));
      fd_set failed;
      FD_ZERO(&failed);
      FD_SET(probe, &failed);
      fd_set done = failed;
      timeval limit{0, kProbeMilliseconds * 1000};
      if (::select(0, nullptr, &done, &failed, &limit) > 0 && FD_ISSET(probe, &failed)) {
        int error = 0;
        int size = sizeof error;
        ::getsockopt(probe, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
        refused = error == WSAECONNREFUSED;
      }
      ::closesocket(probe);
    }
    ::FreeAddrInfoW(found);
  }
  ::WSACleanup();
  return refused;
}

DWORD QueryNumber(HINTERNET request, DWORD what) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (!::WinHttpQueryHeaders(request, what | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &value, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
    return 0;
  }
  return value;
}

// Reads the body of a 200 response into `body`.
Result ReadBody(HINTERNET request, std::size_t limit, std::string& body) {
  ReceivedText received(limit);
  received.Reserve(QueryNumber(request, WINHTTP_QUERY_CONTENT_LENGTH));
  std::string chunk(kReadSize, '\0');
  for (;;) {
    DWORD got = 0;
    if (!::WinHttpReadData(request, chunk.data(), kReadSize, &got)) {
      return Failure(Reason::BodyCutShort,
                     ::GetLastError() == ERROR_WINHTTP_TIMEOUT ? "timed out" : "body cut short",
                     200);
    }
    if (got == 0) {
      break;
    }
    const auto status = received.Append(std::string_view(chunk.data(), got));
    if (status == ReceivedText::Status::TooLarge) {
      return Failure(Reason::TooLarge, "page too large", 200);
    }
    if (status == ReceivedText::Status::Ended) {
      break;
    }
  }
  body = received.TakeText();
  return ResponseResult(200);
}

}  // namespace

std::string WinHttpFailureReason(unsigned long code, const std::wstring& host, int port) {
  switch (code) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
      return ConnectionRefused(host, port) ? "connection refused" : "cannot connect";
    case ERROR_WINHTTP_TIMEOUT:
      return "timed out";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return "cannot resolve host name";
    case ERROR_WINHTTP_CONNECTION_ERROR:
      return "connection reset";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      return "connection closed without a response";
    case ERROR_WINHTTP_REDIRECT_FAILED:
      return "too many redirects";
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
      return "unsupported protocol";
    case ERROR_WINHTTP_INVALID_URL:
      return "malformed address";
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_FAILURE:
      return "server certificate not trusted";
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
      return "TLS handshake failed";
    default:
      return "WinHTTP error " + std::to_string(code);
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

WinHttpSession::WinHttpSession(const HttpFetchOptions& options, void* share)
    : session_(share != nullptr ? share : OpenWinHttpSession(options.userAgent)),
      ownsSession_(share == nullptr),
      // Name resolution and connecting are bounded like libcurl's connect time-out; sending
      // and each wait for data like its stall time-out.
      connectTimeout_(static_cast<int>(options.connectTimeout.count())),
      stallTimeout_(static_cast<int>(options.stallTimeout.count() * 1000)),
      maxTextBytes_(options.maxTextBytes),
      maxRedirects_(options.maxRedirects) {}

WinHttpSession::~WinHttpSession() {
  if (ownsSession_ && session_ != nullptr) {
    ::WinHttpCloseHandle(session_);
  }
}

Result WinHttpSession::Get(const std::string& address, std::string& body) {
  AddressParts parts;
  if (!SplitAddress(address, parts)) {
    // No host yet: an empty one, built without copying a wide literal, which g++ 12 at link
    // time takes for an over-read.
    return Failure(Reason::NoAnswer, WinHttpFailureReason(::GetLastError(), std::wstring(), 0));
  }
  const Internet connection(::WinHttpConnect(session_, parts.host.c_str(), parts.port, 0));
  const Internet request(
      connection ? ::WinHttpOpenRequest(connection.get(), L"GET", parts.pathAndQuery.c_str(),
                                        nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                        parts.secure ? WINHTTP_FLAG_SECURE : 0)
                 : nullptr);
  if (!request) {
    return Failure(Reason::NoAnswer,
                   WinHttpFailureReason(::GetLastError(), parts.host, parts.port));
  }
  // Set on the request, as the session may be the run's, shared with other settings.
  ::WinHttpSetTimeouts(request.get(), connectTimeout_, connectTimeout_, stallTimeout_,
                       stallTimeout_);
  DWORD redirects = static_cast<DWORD>(maxRedirects_);
  ::WinHttpSetOption(request.get(), WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &redirects,
                     sizeof redirects);
  if (!::WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !::WinHttpReceiveResponse(request.get(), nullptr)) {
    return Failure(Reason::NoAnswer,
                   WinHttpFailureReason(::GetLastError(), parts.host, parts.port));
  }
  const auto status = static_cast<int>(QueryNumber(request.get(), WINHTTP_QUERY_STATUS_CODE));
  if (status != 200) {
    // Only a page is worth reading.
    return ResponseResult(status);
  }
  return ReadBody(request.get(), maxTextBytes_, body);
}

}  // namespace pelmo
