#include "tools/quote_server/request_log.h"

namespace pelmo::quote_server {

bool RequestLog::Open(const std::string& path) {
  file_.reset(std::fopen(path.c_str(), "w"));
  return file_ != nullptr;
}

void RequestLog::Write(std::string_view line) {
  const std::lock_guard lock(mutex_);
  if (!file_) {
    return;
  }
  std::fwrite(line.data(), 1, line.size(), file_.get());
  std::fputc('\n', file_.get());
  std::fflush(file_.get());
}

}  // namespace pelmo::quote_server
