// What the page fetches of one run share underneath: open connections, TLS sessions and
// name lookups, so that the pages after the first go out on a kept connection instead of
// paying for a new one each.
//
// The owner (one per run, e.g. the page source) creates it before the first fetch and
// destroys it after the last fetcher is gone. It is for one thread.
#pragma once

namespace pelmo {

class ConnectionShare {
 public:
  ConnectionShare();
  ~ConnectionShare();
  ConnectionShare(const ConnectionShare&) = delete;
  ConnectionShare& operator=(const ConnectionShare&) = delete;

  // The library's share handle (CURLSH*), or null when it could not be set up; fetches then
  // work as without it, on a new connection each.
  void* Handle() const { return handle_; }

 private:
  void* handle_;
};

}  // namespace pelmo
