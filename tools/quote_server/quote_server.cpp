#include "tools/quote_server/quote_server.h"

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "tools/quote_server/connection_stream.h"
#include "tools/quote_server/euc_jp.h"
#include "tools/quote_server/page_query.h"
#include "tools/quote_server/page_writer.h"
#include "tools/quote_server/request_log.h"

namespace pelmo::quote_server {

namespace {

constexpr int kTimeoutMilliseconds = 5000;
// A kept connection is closed after this many requests or this long without one, so that an
// idle client cannot hold a server thread for long.
constexpr int kRequestsPerConnection = 1000;
constexpr int kIdleSeconds = 5;

std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (const char c : text) {
    if (c == '\n') {
      out += '\r';
    }
    out += c;
  }
  return out;
}

// The request target of a request head: the second word of its first line.
std::string TargetOf(const std::string& head) {
  const std::string line = head.substr(0, head.find("\r\n"));
  const auto first = line.find(' ');
  if (first == std::string::npos) {
    return line;
  }
  const auto second = line.find(' ', first + 1);
  return line.substr(first + 1, second == std::string::npos ? second : second - first - 1);
}

// httplib's server with its connection handling replaced, so that the first connections
// can be dropped unanswered when asked to.
class PageHttpServer : public httplib::Server {
 public:
  PageHttpServer(int failFirst, bool keepAlive, RequestLog& log)
      : failuresLeft_(failFirst), keepAlive_(keepAlive), log_(log) {}

 private:
  bool process_and_close_socket(socket_t sock) override {
    ConnectionStream stream(sock, kTimeoutMilliseconds);
    if (TakeFailure()) {
      // Reading the request first lets the close reach the client as a plain end of stream
      // after its request, rather than a reset.
      log_.Write(TargetOf(stream.ReadHead()));
    } else {
      ServeRequests(stream);
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return true;
  }

  // Answers the requests of one connection until either side ends it.
  void ServeRequests(ConnectionStream& stream) {
    for (int served = 1;; ++served) {
      const bool last = !keepAlive_ || served == kRequestsPerConnection;
      bool connectionClosed = false;
      if (!process_request(stream, last, connectionClosed, nullptr) || last || connectionClosed ||
          !stream.WaitForRequest(kIdleSeconds * 1000)) {
        return;
      }
    }
  }

  bool TakeFailure() {
    int left = failuresLeft_.load();
    while (left > 0 && !failuresLeft_.compare_exchange_weak(left, left - 1)) {
    }
    return left > 0;
  }

  std::atomic<int> failuresLeft_;
  bool keepAlive_;
  RequestLog& log_;
};

}  // namespace

struct QuoteServer::Impl {
  explicit Impl(ServerOptions opts) : options(std::move(opts)), http(MakeServer()) {}

  std::unique_ptr<httplib::Server> MakeServer() {
    if (!options.certPath.empty()) {
      auto https =
          std::make_unique<httplib::SSLServer>(options.certPath.c_str(), options.keyPath.c_str());
      https->set_keep_alive_max_count(options.keepAlive ? kRequestsPerConnection : 1);
      https->set_keep_alive_timeout(kIdleSeconds);
      return https;
    }
    return std::make_unique<PageHttpServer>(options.failFirst, options.keepAlive, log);
  }

  void ServePage(PageKind kind, const httplib::Request& request, httplib::Response& response) {
    const auto query = ParsePageQuery(kind, request.params);
    if (!query) {
      response.status = 400;
      response.set_content("Bad Request: malformed query\n", "text/plain");
      return;
    }
    const auto body = ToEucJp(RenderPage(*query, TodayUtc()));
    if (!body) {
      response.status = 500;
      response.set_content("Internal Server Error: page text not encodable\n", "text/plain");
      return;
    }
    SetPlainBody(response, options.crlf ? WithCrLf(*body) : *body);
  }

  // httplib compresses a body set with set_content when the client accepts it, but not one
  // given with its length through a provider. Pages go out as they are, whatever the
  // client asks: a client sees the same bytes every time, and the server spends no time
  // compressing.
  static void SetPlainBody(httplib::Response& response, std::string body) {
    auto shared = std::make_shared<const std::string>(std::move(body));
    response.set_content_provider(
        shared->size(), "text/html; charset=EUC-JP",
        [shared](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          return sink.write(shared->data() + offset, length);
        });
  }

  void Route() {
    // httplib's default also sets SO_REUSEPORT, which would let a second server share the
    // port and take part of the requests; a port in use must be an error instead.
    http->set_socket_options([](socket_t sock) {
      const int yes = 1;
      ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
      // Accepted connections inherit it: the head and the body of an answer go out in two
      // writes, and on a kept connection the body would otherwise wait for the client's
      // delayed acknowledgement of the head.
      ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    });
    http->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
      log.Write(request.target);
      return httplib::Server::HandlerResponse::Unhandled;
    });
    http->Get("/t", [this](const httplib::Request& request, httplib::Response& response) {
      ServePage(PageKind::Price, request, response);
    });
    http->Get("/bt", [this](const httplib::Request& request, httplib::Response& response) {
      ServePage(PageKind::Margin, request, response);
    });
    http->set_error_handler([](const httplib::Request&, httplib::Response& response) {
      if (response.body.empty() && response.status == 404) {
        response.set_content("Not Found\n", "text/plain");
      }
    });
  }

  ServerOptions options;
  RequestLog log;
  std::unique_ptr<httplib::Server> http;
  std::atomic<bool> serving{false};
  std::atomic<bool> stopRequested{false};
};

QuoteServer::QuoteServer(ServerOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {
  impl_->Route();
}

QuoteServer::~QuoteServer() = default;

BindResult QuoteServer::Bind() {
  const ServerOptions& options = impl_->options;
  if (!options.logPath.empty() && !impl_->log.Open(options.logPath)) {
    return {-1, "cannot open the log file " + options.logPath};
  }
  if (!impl_->http->is_valid()) {
    return {-1,
            "cannot use the certificate " + options.certPath + " with the key " + options.keyPath};
  }
  const std::string where = options.bindAddress + " port " + std::to_string(options.port);
  if (options.port == 0) {
    const int port = impl_->http->bind_to_any_port(options.bindAddress);
    return port > 0 ? BindResult{port, ""} : BindResult{-1, "cannot listen on " + where};
  }
  if (!impl_->http->bind_to_port(options.bindAddress, options.port)) {
    return {-1, "cannot listen on " + where};
  }
  return {options.port, ""};
}

void QuoteServer::Serve() {
  impl_->serving = true;
  if (!impl_->stopRequested) {
    impl_->http->listen_after_bind();
  }
  impl_->serving = false;
}

void QuoteServer::Stop() {
  impl_->stopRequested = true;
  // A stop that came before the accept loop started would be lost: wait for it to start.
  while (impl_->serving && !impl_->http->is_running()) {
    std::this_thread::yield();
  }
  impl_->http->stop();
}

}  // namespace pelmo::quote_server
