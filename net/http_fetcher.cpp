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
    result_ = Failure(Reason::TextHeld, "the fetcher still holds a page");
    return nullptr;
  }
  // A refused call above keeps everything; every other call starts from an empty fetcher.
  rawText.reset();
  httpStatus_ = 0;
  attempts_ = 0;
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

std::string* HttpFetcher::Fail(Result result) {
  rawText.reset();
  pageText.reset();
  result_ = std::move(result);
  return nullptr;
}

std::string* HttpFetcher::FetchFile(std::string_view address) {
  const std::optional<std::string> path = FileAddressPath(address);
  if (!path) {
    return Fail(Failure(Reason::UnsupportedAddress, "unsupported address"));
  }
  std::string text;
  if (Result read = ReadLocalFile(*path, options_.maxTextBytes, text); !read.ok()) {
    return Fail(std::move(read));
  }
  pageText = std::move(text);
  result_ = {};
  return &*pageText;
}

std::string* HttpFetcher::FetchHttp(const std::string& address) {
  HttpSession session(options_, share_ == nullptr ? nullptr : share_->Handle());
  if (!session.IsOpen()) {
    return Fail(Failure(Reason::SessionFailed, "cannot start an HTTP session"));
  }
  Result attempt;
  std::string body;
  bool answered = false;
  std::chrono::milliseconds pause = options_.firstRetryDelay;
  for (;;) {
    ++attempts_;
    if (options_.onAttempt) {
      options_.onAttempt(attempts_);
    }
    body.clear();
    attempt = session.Get(address, body);
    answered = answered || attempt.reason != Reason::NoAnswer;
    const bool failed = attempt.reason == Reason::NoAnswer ||
                        attempt.reason == Reason::RequestFailed ||
                        attempt.reason == Reason::BodyCutShort;
    if (!failed || attempts_ >= options_.maxAttempts) {
      break;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, options_.maxRetryDelay);
  }
  httpStatus_ = attempt.code;
  if (attempt.reason == Reason::NoAnswer && answered) {
    // An earlier attempt had an answer: the service is there, only this page failed.
    attempt.reason = Reason::RequestFailed;
  }
  if (attempt.reason == Reason::StatusNotOk) {
    // The server answered, but not with a page: empty texts, not null ones.
    rawText.emplace();
    pageText.emplace();
    result_ = std::move(attempt);
    return &*pageText;
  }
  if (!attempt.ok()) {
    return Fail(std::move(attempt));
  }
  try {
    // Text that is not valid EUC-JP ends before the first bad sequence.
    pageText = ConvertEucJpToShiftJis(body);
  } catch (const std::bad_alloc&) {
    // The received text fitted, its converted copy did not.
    return Fail(Failure(Reason::TooLarge, "page too large", attempt.code));
  }
  rawText = std::move(body);
  result_ = std::move(attempt);
  return &*pageText;
}

}  // namespace pelmo
