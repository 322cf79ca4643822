#include "net/connection_share.h"

#include <curl/curl.h>

namespace pelmo {

ConnectionShare::ConnectionShare() : handle_(curl_share_init()) {
  CURLSH* share = static_cast<CURLSH*>(handle_);
  if (share == nullptr) {
    return;
  }
  // One thread uses the share, so no lock functions are needed.
  const bool shared =
      curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT) == CURLSHE_OK &&
      curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION) == CURLSHE_OK &&
      curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS) == CURLSHE_OK;
  if (!shared) {
    curl_share_cleanup(share);
    handle_ = nullptr;
  }
}

ConnectionShare::~ConnectionShare() {
  if (handle_ != nullptr) {
    // Closes the kept connections.
    curl_share_cleanup(static_cast<CURLSH*>(handle_));
  }
}

}  // namespace pelmo
