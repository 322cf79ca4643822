// What a ConnectionShare holds on libcurl: the share handle, and the easy handle of the
// last finished fetch, kept for the next one. Setting up an easy handle (and the transfer
// machinery libcurl builds inside it on its first perform) costs more than a page's
// request on a kept connection; a run fetches its pages one after another, so one spare
// is enough.
#pragma once

#include <curl/curl.h>

namespace pelmo {

struct ConnectionShareState {
  explicit ConnectionShareState(CURLSH* share) : share(share) {}
  ~ConnectionShareState() {
    // The kept easy handle still uses the share: it goes first. Then the share closes the
    // kept connections.
    if (spareEasy != nullptr) {
      curl_easy_cleanup(spareEasy);
    }
    curl_share_cleanup(share);
  }
  ConnectionShareState(const ConnectionShareState&) = delete;
  ConnectionShareState& operator=(const ConnectionShareState&) = delete;

  CURLSH* share;              // owned
  CURL* spareEasy = nullptr;  // owned; null when none is kept
};

}  // namespace pelmo
