#include "net/connection_share.h"

#include "net/curl_share_state.h"

#include <new>

namespace pelmo {

ConnectionShare::ConnectionShare() : handle_(nullptr) {
  CURLSH* share = curl_share_init();
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
    return;
  }
  handle_ = new (std::nothrow) ConnectionShareState(share);
  if (handle_ == nullptr) {
    curl_share_cleanup(share);
  }
}

ConnectionShare::~ConnectionShare() {
  delete handle_;
}

}  // namespace pelmo
