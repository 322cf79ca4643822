// The HTTP server of table pages: GET /t (price pages) and GET /bt (margin pages).
//
// Every page is status 200, "text/html; charset=EUC-JP", EUC-JP bytes. A malformed query
// gets 400 and any other path 404, each with a short plain-text body. A connection is kept
// open for further requests, as real services do, unless the options say otherwise.
#pragma once

#include <memory>
#include <string>

namespace pelmo::quote_server {

struct ServerOptions {
  std::string bindAddress = "127.0.0.1";
  int port = 8730;        // 0 picks a free port
  std::string logPath;    // empty: no request log
  bool crlf = false;      // serve pages with CR LF line ends
  int failFirst = 0;      // close this many connections first, without an answer (http only)
  bool keepAlive = true;  // false: one request per connection, answered with Connection: close
  std::string certPath;   // with keyPath: serve https with this certificate chain (PEM)
  std::string keyPath;    // the certificate's private key (PEM)
};

struct BindResult {
  int port = -1;      // the bound port, or -1
  std::string error;  // why binding failed
};

class QuoteServer {
 public:
  explicit QuoteServer(ServerOptions options);
  ~QuoteServer();
  QuoteServer(const QuoteServer&) = delete;
  QuoteServer& operator=(const QuoteServer&) = delete;

  // Opens the request log and binds the listening socket.
  [[nodiscard]] BindResult Bind();

  // Serves until Stop is called; returns at once when Stop came first. Call after a
  // successful Bind, on one thread.
  void Serve();

  // Makes Serve return; safe from any thread, also before Serve has started.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace pelmo::quote_server
