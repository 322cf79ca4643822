// HttpFetcher: fetches one page by its full address and owns its text.
//
// An address beginning with "http:" or "https:" is fetched over HTTP. The page is taken to
// be EUC-JP: `rawText` holds the body as received with every LF expanded to CR LF, and
// `pageText` its conversion to Shift_JIS (see net/euc_jp.h). A "file:" address is read as
// the file stands into `pageText`, with no expansion or conversion. Any other address,
// including the schemes above written in capitals, yields no text.
//
// A failed request (no connection, time-out, no response, a body cut short) is repeated
// after a pause that grows from attempt to attempt, up to options.maxAttempts requests in
// all. A response with a status other than 200 is not a failure and is not repeated: both
// texts become empty strings. Null texts therefore mean "nothing obtained",
// empty texts "the server answered without a page"; Outcome() tells them apart from an
// empty page with status 200.
//
// Fetchers given the same ConnectionShare use its kept connections, TLS sessions and name
// lookups; a kept connection that turns out closed is replaced by a new one within the same
// attempt.
//
// Typical use: construct, Fetch, edit and read `pageText`, Clear (or destroy).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "net/connection_share.h"
#include "net/http_options.h"

namespace pelmo {

enum class FetchOutcome {
  None,                // no Fetch yet
  Page,                // status 200 or a local file: `pageText` holds the text (maybe empty)
  StatusNotOk,         // the final status was not 200 (HttpStatus()); both texts are empty
  Refused,             // Fetch was called while a `pageText` was held; nothing changed
  UnsupportedAddress,  // neither http:, https: nor a local file address
  FileUnreadable,      // a local file that could not be opened or read, or was too large
  RequestFailed,       // every attempt failed before a status was read
  BodyFailed,          // the status was 200 but the body could not be read to its end
  BodyTooLarge,        // the text would exceed options.maxTextBytes, or memory ran out for it
  SessionFailed,       // the HTTP library could not set up a session
};

class HttpFetcher {
 public:
  HttpFetcher() = default;
  // `share`, when given, is not owned and must outlive the fetcher.
  explicit HttpFetcher(HttpFetchOptions options, ConnectionShare* share = nullptr)
      : options_(std::move(options)), share_(share) {}
  HttpFetcher(const HttpFetcher&) = delete;
  HttpFetcher& operator=(const HttpFetcher&) = delete;
  // Releases both texts, as Clear does.
  ~HttpFetcher() = default;

  // Fetches `address` (scheme, host, path and query). Returns &*pageText, owned by the
  // fetcher and valid until Clear or destruction, or null when no text was obtained; then
  // both texts are null, except that a fetcher that already holds a `pageText` refuses:
  // it returns null and keeps its texts as they are. Blocks for at most
  // maxAttempts * attemptTimeout plus the pauses between attempts.
  std::string* Fetch(std::string_view address);

  // Releases `rawText`, then `pageText`, leaving both null. The outcome of the last Fetch
  // stays readable.
  void Clear();

  // How the last Fetch ended.
  FetchOutcome Outcome() const { return outcome_; }
  // The final HTTP status of the last Fetch, 0 when none was read.
  int HttpStatus() const { return httpStatus_; }
  // Requests made by the last Fetch.
  int Attempts() const { return attempts_; }
  // Whether any attempt of the last Fetch got an HTTP response (a status line); false when
  // the service never answered (refused, timed out, reset, name not found, ...).
  bool GotResponse() const { return gotResponse_; }
  // Why the last Fetch obtained no page, in a few words ("connection refused", "timed out",
  // "HTTP status 404", "page too large", ...); empty after a page was obtained.
  const std::string& FailureReason() const { return failureReason_; }

  // The page in Shift_JIS with CR LF line ends. Callers may edit it in place.
  std::optional<std::string> pageText;
  // The HTTP body as received (LF expanded), before conversion; null on the local-file path.
  std::optional<std::string> rawText;

 private:
  std::string* FetchHttp(const std::string& address);
  std::string* FetchFile(std::string_view address);
  std::string* Fail(FetchOutcome outcome, std::string reason);

  HttpFetchOptions options_;
  ConnectionShare* share_ = nullptr;
  FetchOutcome outcome_ = FetchOutcome::None;
  int httpStatus_ = 0;
  int attempts_ = 0;
  bool gotResponse_ = false;
  std::string failureReason_;
};

}  // namespace pelmo
