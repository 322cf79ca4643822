#include "net/fetch_policy.h"

#include <algorithm>

namespace pelmo {
namespace {

Result PageOrCut(const HttpExchange& exchange) {
  const bool shortOfLength =
      exchange.announcedLength && exchange.bodyBytes < *exchange.announcedLength;
  // A zero byte ends the text, so whatever should have followed it does not matter.
  if (shortOfLength && exchange.bodyStatus != ReceivedText::Status::Ended) {
    return Failure(Reason::BodyCutShort, "body cut short", 200);
  }
  // Nothing but a closed connection after the status: some transports (WinHTTP under Wine)
  // report an answer cut inside its headers so. An empty page announces its length.
  if (!exchange.announcedLength && !exchange.chunked && exchange.bodyBytes == 0) {
    return Failure(Reason::BodyCutShort, "answer cut short", 200);
  }
  return {Reason::Ok, 200, {}, {}};
}

}  // namespace

std::string FaultText(TransportFault fault, const std::string& libraryText) {
  switch (fault) {
    case TransportFault::None:
      return {};
    case TransportFault::Refused:
      return "connection refused";
    case TransportFault::CannotConnect:
      return "cannot connect";
    case TransportFault::TimedOut:
      return "timed out";
    case TransportFault::NameNotFound:
      return "cannot resolve host name";
    case TransportFault::ProxyNameNotFound:
      return "cannot resolve proxy name";
    case TransportFault::ClosedWithoutResponse:
      return "connection closed without a response";
    case TransportFault::Reset:
      return "connection reset";
    case TransportFault::ReceiveFailed:
      return "receive error";
    case TransportFault::SendFailed:
      return "send error";
    case TransportFault::CutShort:
      return "body cut short";
    case TransportFault::NoStatusLine:
      return "answer cut short";
    case TransportFault::TooManyRedirects:
      return "too many redirects";
    case TransportFault::UnsupportedProtocol:
      return "unsupported protocol";
    case TransportFault::MalformedAddress:
      return "malformed address";
    case TransportFault::MalformedResponse:
      return "malformed response";
    case TransportFault::CertificateNotTrusted:
      return "server certificate not trusted";
    case TransportFault::TlsFailed:
      return "TLS handshake failed";
    case TransportFault::OutOfMemory:
      return "page too large";
    case TransportFault::Other:
      break;
  }
  return libraryText;
}

Result JudgeExchange(const HttpExchange& exchange, bool timeIsUp) {
  const TransportFault fault = exchange.fault;
  if (exchange.bodyStatus == ReceivedText::Status::TooLarge ||
      fault == TransportFault::OutOfMemory) {
    return Failure(Reason::TooLarge, "page too large", exchange.status);
  }
  if (exchange.status != 0 && exchange.status != 200) {
    // Only a page is worth reading: how the rest of the answer went does not matter.
    return {Reason::StatusNotOk, exchange.status, {}, {}};
  }
  if (exchange.status == 200 && fault == TransportFault::None) {
    return PageOrCut(exchange);
  }
  if (fault == TransportFault::TimedOut && timeIsUp) {
    return Failure(Reason::OutOfTime, "timed out", exchange.status);
  }
  if (exchange.status == 200) {
    if (exchange.bodyStatus == ReceivedText::Status::Ended) {
      return {Reason::Ok, 200, {}, {}};
    }
    return Failure(Reason::BodyCutShort, FaultText(fault, exchange.faultText), 200);
  }
  const bool cut =
      exchange.headersCut || fault == TransportFault::NoStatusLine || fault == TransportFault::None;
  if (cut && fault != TransportFault::TimedOut) {
    // An answer that ends inside its headers is not an empty page.
    return Failure(exchange.answered ? Reason::BodyCutShort : Reason::NoAnswer, "answer cut short");
  }
  return Failure(exchange.answered ? Reason::RequestFailed : Reason::NoAnswer,
                 FaultText(fault, exchange.faultText));
}

bool WorthRepeating(const Result& attempt) {
  switch (attempt.reason) {
    case Reason::NoAnswer:
    case Reason::RequestFailed:
    case Reason::BodyCutShort:
    case Reason::OutOfTime:
      return true;
    case Reason::StatusNotOk:
      return IsBusyStatus(attempt.code);
    default:
      return false;
  }
}

bool IsBusyStatus(int status) {
  return status == 429 || status == 503;
}

std::chrono::milliseconds RetrySpacing::Next() {
  const std::chrono::milliseconds pause = next_;
  next_ = std::min(next_ * 2, longest_);
  return pause;
}

}  // namespace pelmo
