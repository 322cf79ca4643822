// The page source that fetches table pages from the quote service over HTTP, keeping the
// connections, TLS sessions and name lookups of the run for the pages that follow.
#pragma once

#include <string>

#include "net/connection_share.h"
#include "net/http_options.h"
#include "quote/quote_page.h"

namespace pelmo {

class HttpPageSource : public PageSource {
 public:
  // With the program's settings (ProgramFetchOptions).
  HttpPageSource() : options_(ProgramFetchOptions()) {}
  explicit HttpPageSource(HttpFetchOptions options) : options_(std::move(options)) {}

  // One fresh fetcher per page, on the source's kept connections; its text is moved out and
  // the fetcher released before returning, with the fetcher's result.
  PageResult Get(const std::string& url) override;

  void SetSingleAttempt(bool single) override { singleAttempt_ = single; }

 private:
  HttpFetchOptions options_;
  bool singleAttempt_ = false;
  ConnectionShare share_;
};

}  // namespace pelmo
