// The page source that fetches table pages from the quote service over HTTP.
#pragma once

#include <string>

#include "net/http_options.h"
#include "quote/quote_page.h"

namespace pelmo {

class HttpPageSource : public PageSource {
 public:
  HttpPageSource() = default;
  explicit HttpPageSource(HttpFetchOptions options) : options_(std::move(options)) {}

  // One fresh fetcher per page; its text is moved out and the fetcher released before
  // returning. A status other than 200 gives an empty text and the fetcher's reason.
  PageResult Get(const std::string& url) override;

 private:
  HttpFetchOptions options_;
};

}  // namespace pelmo
