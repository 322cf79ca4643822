#include "net/http_options.h"

#include <cstdlib>
#include <string_view>

#include "platform/platform.h"

namespace pelmo {

std::string ExecutableName() {
  const std::string path = ProgramPath();
  std::string_view name = path;
  // Folders end at '/' everywhere and at '\' on Windows, where no file name holds one.
  name.remove_prefix(name.find_last_of("/\\") + 1);  // npos + 1 == 0 keeps a bare name whole
  // A leading dot belongs to the name, not to an extension.
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > 0) {
    name = name.substr(0, dot);
  }
  return name.empty() ? std::string("pelmo") : std::string(name);
}

HttpFetchOptions ProgramFetchOptions() {
  HttpFetchOptions options;
  const char* quick = std::getenv("PELMO_QUICK_PAUSES_FOR_TESTS");
  if (quick != nullptr && std::string_view(quick) == "1") {
    options.firstRetryDelay = options.maxRetryDelay = std::chrono::milliseconds(1);
  }
  const char* shortBounds = std::getenv("PELMO_SHORT_BOUNDS_FOR_TESTS");
  if (shortBounds != nullptr && std::string_view(shortBounds) == "1") {
    options.connectTimeout = std::chrono::seconds(1);
    options.stallTimeout = std::chrono::seconds(1);
    options.attemptTimeout = std::chrono::seconds(2);
    options.pageTimeout = std::chrono::seconds(4);
  }
  return options;
}

}  // namespace pelmo
