// HttpFetcher: fetches one page by its full address and owns its text.
//
// An address beginning with "http:" or "https:" is fetched over HTTP. The page is taken to
// be EUC-JP: `rawText` holds the body as received with every LF expanded to CR LF, and
// `pageText` its conversion to Shift_JIS (see net/euc_jp.h). A "file:" address is read as
// the file stands into `pageText`, with no expansion or conversion. Any other address,
// including the schemes above written in capitals, yields no text.
//
// A failed request (no connection, time-out, no response, an answer cut short) is repeated
// after a pause that grows from attempt to attempt, up to options.maxAttempts requests in
// all and within the bounds on an attempt and on the page (see net/fetch_attempts.h); a
// busy service (status 429 or 503) is asked again after the wait it names. Any other
// status than 200 is not a failure and is not repeated: both texts become empty strings. Null texts
// therefore mean "nothing obtained", empty texts "the server answered without a page"; LastResult()
// tells them apart from an empty page with status 200.
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

#include "base/result.h"
#include "net/connection_share.h"
#include "net/http_options.h"

namespace pelmo {

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
  // it returns null and keeps its texts as they are. Blocks for about
  // options.pageTimeout at most.
  std::string* Fetch(std::string_view address);

  // Releases `rawText`, then `pageText`, leaving both null. The result of the last Fetch
  // stays readable.
  void Clear();

  // How the last Fetch ended: ok with a page (status 200, `code` 200, or a local file);
  // StatusNotOk with the status in `code`; NoAnswer when no attempt got a status line
  // (refused, timed out, reset, name not found), RequestFailed when one did but none
  // brought a final status; OutOfTime when the bounds on time ended the attempts;
  // ServiceBusy when the service stayed busy; else why no page was had, in a few words in
  // `message` ("connection refused", "page too large"). Ok before the first Fetch.
  const Result& LastResult() const { return result_; }
  // The final HTTP status of the last Fetch, 0 when none was read.
  int HttpStatus() const { return httpStatus_; }
  // Requests made by the last Fetch.
  int Attempts() const { return attempts_; }

  // The page in Shift_JIS with CR LF line ends. Callers may edit it in place.
  std::optional<std::string> pageText;
  // The HTTP body as received (LF expanded), before conversion; null on the local-file path.
  std::optional<std::string> rawText;

 private:
  std::string* FetchHttp(const std::string& address);
  std::string* FetchFile(std::string_view address);
  std::string* Fail(Result result);

  HttpFetchOptions options_;
  ConnectionShare* share_ = nullptr;
  Result result_;
  int httpStatus_ = 0;
  int attempts_ = 0;
};

}  // namespace pelmo
