// Helpers of the quote-server tests: decoding pages, reading their table the way pelmo's
// reader does, and a server on a free port for the duration of a test.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tools/quote_server/quote_server.h"

namespace pelmo::quote_server::testing {

// EUC-JP to UTF-8 with the C library's converter; fails the test on bytes it rejects.
std::string EucJpToUtf8(std::string_view euc);

// The table a client keeps: from the second "<table" after the first "<!--/tab-->" to the
// first "</table>" after it; empty when there is none.
std::string CutTable(std::string_view page);

// The rows of the cut table, each the list of its non-blank texts with the <small> tags
// removed, header row included.
std::vector<std::vector<std::string>> TableTexts(std::string_view page);

// Share counts of a split note, read the way the client reads them: from one byte after
// "分割:" up to "->", and from one byte after "->".
std::pair<double, double> SplitShares(const std::string& note);

// A QuoteServer serving on a free port of 127.0.0.1 until destruction.
class RunningServer {
 public:
  explicit RunningServer(ServerOptions options = {});
  ~RunningServer();
  int Port() const { return port_; }

 private:
  std::unique_ptr<QuoteServer> server_;
  std::thread thread_;
  int port_ = -1;
};

}  // namespace pelmo::quote_server::testing
