// What one HTTP request did at the transport level, as the platform's session reports it.
//
// A session only moves bytes: it connects, sends the request, reads the headers and the
// body of a 200 response, and reports here what happened. Whether that was a page, a failed
// attempt worth repeating or an answer to keep, and the words for it, are decided once for
// every system in net/fetch_policy.h.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "net/received_text.h"

namespace pelmo {

// Why the transport ended a request before its answer was complete; None when it did not.
enum class TransportFault {
  None,
  Refused,                // the port refused the connection
  CannotConnect,          // no connection, and the system cannot say whether it was refused
  TimedOut,               // a time-out of the transport, or the attempt's time ran out
  NameNotFound,           // the host name did not resolve
  ProxyNameNotFound,      // the proxy's host name did not resolve
  ClosedWithoutResponse,  // the connection ended before any byte of an answer
  Reset,                  // the peer reset the connection
  ReceiveFailed,          // another failure while receiving
  SendFailed,             // the request could not be sent
  CutShort,               // the connection ended inside the body (the transport noticed)
  NoStatusLine,           // bytes came back that do not begin with a status line
  TooManyRedirects,
  UnsupportedProtocol,
  MalformedAddress,
  MalformedResponse,
  CertificateNotTrusted,
  TlsFailed,
  OutOfMemory,
  Other,  // anything else; `faultText` holds the library's own words
};

struct HttpExchange {
  // A status line came, of whatever response (a redirect's included).
  bool answered = false;
  // The connection ended after a status line, before the blank line that ends its headers.
  bool headersCut = false;
  // The status of the final response, once its headers are complete; 0 before.
  int status = 0;
  // The final response's Retry-After header as sent; empty when there is none.
  std::string retryAfter;
  // The final response's Content-Length, when it announced one.
  std::optional<std::uint64_t> announcedLength;
  // The final response's body came in chunks, which mark their own end.
  bool chunked = false;
  // Body bytes received, as sent (before any line-end expansion).
  std::uint64_t bodyBytes = 0;
  // How the body reader ended: Ended when a zero byte ended the text (the rest is not
  // read on purpose), TooLarge when the page did not fit.
  ReceivedText::Status bodyStatus = ReceivedText::Status::Open;
  TransportFault fault = TransportFault::None;
  // The library's words for an Other fault.
  std::string faultText;
};

// How long the attempt under way may still take. A session asks as the request goes on and
// ends it with TimedOut once the answer is zero or less.
using AttemptTimeLeft = std::function<std::chrono::milliseconds()>;

}  // namespace pelmo
