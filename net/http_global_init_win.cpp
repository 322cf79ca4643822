#include "net/http_global_init.h"

#include <windows.h>
#include <winhttp.h>

namespace pelmo {

// WinHTTP needs no set-up of its own; it is there on every supported Windows.
HttpGlobalInit::HttpGlobalInit() : succeeded_(::WinHttpCheckPlatform() != FALSE) {}

HttpGlobalInit::~HttpGlobalInit() = default;

}  // namespace pelmo
