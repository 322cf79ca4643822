#include "net/http_global_init.h"

#include <curl/curl.h>

namespace pelmo {

HttpGlobalInit::HttpGlobalInit() : succeeded_(curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) {}

HttpGlobalInit::~HttpGlobalInit() {
  if (succeeded_) {
    curl_global_cleanup();
  }
}

}  // namespace pelmo
