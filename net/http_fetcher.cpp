#include "net/http_fetcher.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <thread>
#include <utility>

#include "net/euc_jp.h"
#include "net/file_address.h"
#include "net/http_session.h"

namespace pelmo {

std::string* HttpFetcher::Fetch(std::string_view address) {
  if (pageText) {
    outcome_ = FetchOutcome::Refused;
    failureReason_ = "the fetcher still holds a page";
    return nullptr;
  }
  // A refused call above keeps everything; every other call starts from an empty fetcher.
  rawText.reset();
  httpStatus_ = 0;
  attempts_ = 0;
  gotResponse_ = false;
  failureReason_.clear();
  // The scheme test is case-sensitive on purpose: "HTTP:" is not taken for the network.
  if (address.starts_with("http:") || address.starts_with("https:")) {
    return FetchHttp(std::string(address));
  }
  return FetchFile(address);
}

void HttpFetcher::Clear() {
  rawText.reset();
  pageText.reset();
}

std::string* HttpFetcher::Fail(FetchOutcome outcome, std::string reason) {
  rawText.reset();
  pageText.reset();
  outcome_ = outcome;
  failureReason_ = std::move(reason);
  return nullptr;
}

std::string* HttpFetcher::FetchFile(std::string_view address) {
  const std::optional<std::string> path = FileAddressPath(address);
  if (!path) {
    return Fail(FetchOutcome::UnsupportedAddress, "unsupported address");
  }
  FileRead read = ReadLocalFile(*path, options_.maxTextBytes);
  if (!read.text) {
    return Fail(FetchOutcome::FileUnreadable, std::move(read.reason));
  }
  pageText = std::move(read.text);
  outcome_ = FetchOutcome::Page;
  return &*pageText;
}

std::string* HttpFetcher::FetchHttp(const std::string& address) {
  HttpSession session(options_, share_ == nullptr ? nullptr : share_->Handle());
  if (!session.IsOpen()) {
    return Fail(FetchOutcome::SessionFailed, "cannot start an HTTP session");
  }
  HttpAttempt attempt;
  std::chrono::milliseconds pause = options_.firstRetryDelay;
  for (;;) {
    ++attempts_;
    attempt = session.Get(address);
    gotResponse_ = gotResponse_ || attempt.answered;
    const bool failed = attempt.result == HttpAttempt::Result::RequestFailed ||
                        attempt.result == HttpAttempt::Result::BodyFailed;
    if (!failed || attempts_ >= options_.maxAttempts) {
      break;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, options_.maxRetryDelay);
  }
  httpStatus_ = attempt.status;
  switch (attempt.result) {
    case HttpAttempt::Result::RequestFailed:
      return Fail(FetchOutcome::RequestFailed, std::move(attempt.reason));
    case HttpAttempt::Result::BodyFailed:
      return Fail(FetchOutcome::BodyFailed, std::move(attempt.reason));
    case HttpAttempt::Result::BodyTooLarge:
      return Fail(FetchOutcome::BodyTooLarge, std::move(attempt.reason));
    case HttpAttempt::Result::Response:
      break;
  }
  if (attempt.status != 200) {
    // The server answered, but not with a page: empty texts, not null ones.
    rawText.emplace();
    pageText.emplace();
    outcome_ = FetchOutcome::StatusNotOk;
    failureReason_ = "HTTP status " + std::to_string(attempt.status);
    return &*pageText;
  }
  try {
    // Text that is not valid EUC-JP ends before the first bad sequence.
    pageText = ConvertEucJpToShiftJis(attempt.text);
  } catch (const std::bad_alloc&) {
    // The received text fitted, its converted copy did not.
    return Fail(FetchOutcome::BodyTooLarge, "page too large");
  }
  rawText = std::move(attempt.text);
  outcome_ = FetchOutcome::Page;
  return &*pageText;
}

}  // namespace pelmo
