#include "net/http_fetcher.h"

#include <new>
#include <utility>

#include "net/euc_jp.h"
#include "net/fetch_attempts.h"
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
  SteadyFetchClock steady;
  AttemptsOutcome outcome =
      MakeAttempts(session, address, options_,
                   options_.clockForTests == nullptr ? steady : *options_.clockForTests);
  attempts_ = outcome.attempts;
  Result attempt = std::move(outcome.result);
  std::string body = std::move(outcome.body);
  httpStatus_ = attempt.code;
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
