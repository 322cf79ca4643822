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
  PageResult result{{}, fetcher.LastResult()};
  if (fetcher.pageText) {
    result.text = std::move(*fetcher.pageText);
  }
  fetcher.Clear();
  return result;
}

}  // namespace pelmo
