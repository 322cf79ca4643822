// Process-wide set-up of the HTTP library.
//
// Create one HttpGlobalInit at start-up, before any other thread exists and before the
// first fetch, and keep it alive until the last fetch has ended.
#ifndef PELMO_NET_HTTP_GLOBAL_INIT_H_
#define PELMO_NET_HTTP_GLOBAL_INIT_H_

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

#endif  // PELMO_NET_HTTP_GLOBAL_INIT_H_
