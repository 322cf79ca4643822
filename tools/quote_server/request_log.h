// The request log: one line per request, in arrival order, flushed at once so that a
// reader of the file sees each line as soon as the request has come in.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace pelmo::quote_server {

class RequestLog {
 public:
  // Creates or truncates the file; false when it cannot be opened.
  bool Open(const std::string& path);

  // Writes `line` and a LF; does nothing when no file is open. Safe from any thread.
  void Write(std::string_view line);

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::mutex mutex_;
  std::unique_ptr<std::FILE, FileCloser> file_;
};

}  // namespace pelmo::quote_server
