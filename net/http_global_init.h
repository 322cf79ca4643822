// Process-wide set-up of the HTTP library.
//
// Create one HttpGlobalInit at start-up, before any other thread exists and before the
// first fetch, and keep it alive until the last fetch has ended.
#pragma once

namespace pelmo {

class HttpGlobalInit {
 public:
  HttpGlobalInit();
  ~HttpGlobalInit();
  HttpGlobalInit(const HttpGlobalInit&) = delete;
  HttpGlobalInit& operator=(const HttpGlobalInit&) = delete;

  // False when the library could not be set up; no fetch can succeed then.
  [[nodiscard]] bool Succeeded() const { return succeeded_; }

 private:
  bool succeeded_;
};

}  // namespace pelmo
