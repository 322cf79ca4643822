#include "quote/http_page_source.h"

#include <utility>

#include "net/http_fetcher.h"

namespace pelmo {

PageResult HttpPageSource::Get(const std::string& url) {
  HttpFetchOptions options = options_;
  if (singleAttempt_) {
    options.maxAttempts = 1;
  }
  HttpFetcher fetcher(std::move(options), &share_);
  fetcher.Fetch(url);
  PageResult result;
  if (fetcher.Outcome() != FetchOutcome::Page) {
    result.failure = fetcher.FailureReason().empty() ? "no page" : fetcher.FailureReason();
    result.noAnswer = fetcher.Outcome() == FetchOutcome::RequestFailed && !fetcher.GotResponse();
  }
  result.text = std::move(fetcher.pageText);
  fetcher.Clear();
  return result;
}

}  // namespace pelmo
