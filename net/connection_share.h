// What the page fetches of one run share underneath: open connections, TLS sessions and
// name lookups, so that the pages after the first go out on a kept connection instead of
// paying for a new one each.
//
// The owner (one per run, e.g. the page source) creates it before the first fetch and
// destroys it after the last fetcher is gone. It is for one thread.
#pragma once

namespace pelmo {

// What the system's HTTP facility shares between the fetches of a run; defined beside the
// session code of that system (net/curl_share_state.h, net/http_session_win.h).
struct ConnectionShareState;

class ConnectionShare {
 public:
  ConnectionShare();
  ~ConnectionShare();
  ConnectionShare(const ConnectionShare&) = delete;
  ConnectionShare& operator=(const ConnectionShare&) = delete;

  // The shared state, or null when it could not be set up; fetches then work as without
  // it, on a connection of their own.
  ConnectionShareState* Handle() const { return handle_; }

 private:
  ConnectionShareState* handle_;
};

}  // namespace pelmo
