// Test-only: a quote service on 127.0.0.1 that serves the sample service's price pages but
// misbehaves on demand, request by request: a status 500, a connection reset halfway
// through the body, no answer at all, or a body sent slowly in pieces.
#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/output/output_file.h"
#include "net/raw_test_server.h"
#include "tools/quote_server/code_profile.h"
#include "tools/quote_server/euc_jp.h"
#include "tools/quote_server/page_query.h"
#include "tools/quote_server/page_writer.h"
#include "tools/quote_server/synthetic_history.h"

namespace pelmo::testing {

namespace qs = quote_server;

enum class Answer { Page, Status500, ResetHalfway, NeverAnswer, SlowPage };

// The request target ("/t?c=2007&a=1...") of a request head.
inline std::string RequestTarget(std::string_view head) {
  const std::size_t start = head.find(' ');
  const std::size_t end = start == std::string_view::npos ? start : head.find(' ', start + 1);
  return end == std::string_view::npos ? std::string()
                                       : std::string(head.substr(start + 1, end - start - 1));
}

// The sample service's page for a price ("/t") or margin ("/bt") request target, in
// EUC-JP; empty when the query is malformed.
inline std::string ServicePage(const std::string& target) {
  const std::size_t mark = target.find('?');
  const std::string path = target.substr(0, mark);
  if (mark == std::string::npos || (path != "/t" && path != "/bt")) {
    return {};
  }
  qs::QueryParams params;
  std::string_view rest = std::string_view(target).substr(mark + 1);
  while (!rest.empty()) {
    const std::string_view pair = rest.substr(0, rest.find('&'));
    rest.remove_prefix(std::min(rest.size(), pair.size() + 1));
    const std::size_t equals = pair.find('=');
    params.emplace(std::string(pair.substr(0, equals)), equals == std::string_view::npos
                                                            ? std::string()
                                                            : std::string(pair.substr(equals + 1)));
  }
  const auto query =
      qs::ParsePageQuery(path == "/t" ? qs::PageKind::Price : qs::PageKind::Margin, params);
  if (!query) {
    return {};
  }
  return qs::ToEucJp(qs::RenderPage(*query, qs::TodayUtc())).value_or(std::string());
}

inline std::string ResponseHead(int status, std::size_t length) {
  return "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Internal Server Error") +
         "\r\nContent-Type: text/html; charset=EUC-JP\r\nContent-Length: " +
         std::to_string(length) + "\r\nConnection: close\r\n\r\n";
}

// False once the peer is gone.
inline bool SendPiece(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t count = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (count <= 0) {
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

class PageTestServer {
 public:
  // Chooses the answer to a request target.
  using Chooser = std::function<Answer(const std::string& target)>;

  // `slowPieces` and `pieceDelay` shape SlowPage answers: the body goes out in that many
  // pieces with the delay before each. `onRequest` runs for every request before it is
  // answered.
  explicit PageTestServer(Chooser choose, int slowPieces = 8,
                          std::chrono::milliseconds pieceDelay = std::chrono::milliseconds(5),
                          std::function<void(const std::string&)> onRequest = {})
      : choose_(std::move(choose)),
        slowPieces_(slowPieces),
        pieceDelay_(pieceDelay),
        onRequest_(std::move(onRequest)),
        server_([this](int fd, int) { return Respond(fd); }) {}

  std::string host() const { return "127.0.0.1:" + std::to_string(server_.port()); }
  // The request targets in order of arrival.
  std::vector<std::string> targets() const { return server_.requests(); }
  // How many pages went out whole.
  int pagesSent() const { return pagesSent_; }

 private:
  net_test::RawTestServer::After Respond(int fd) {
    using After = net_test::RawTestServer::After;
    const std::string target = RequestTarget(net_test::ReadRequestHead(fd));
    server_.Remember(target);
    if (onRequest_) {
      onRequest_(target);
    }
    const Answer answer = choose_(target);
    const std::string body = ServicePage(target);
    switch (answer) {
      case Answer::NeverAnswer:
        return After::KeepOpen;
      case Answer::Status500:
        SendPiece(fd, ResponseHead(500, 6) + "failed");
        return After::Close;
      case Answer::ResetHalfway: {
        SendPiece(fd, ResponseHead(200, body.size()) + body.substr(0, body.size() / 2));
        // A zero linger time makes close send a reset instead of an orderly end.
        const linger abort{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        return After::Close;
      }
      case Answer::SlowPage: {
        if (!SendPiece(fd, ResponseHead(200, body.size()))) {
          return After::Close;
        }
        const std::size_t piece = body.size() / static_cast<std::size_t>(slowPieces_) + 1;
        for (std::size_t at = 0; at < body.size(); at += piece) {
          std::this_thread::sleep_for(pieceDelay_);
          if (!SendPiece(fd, std::string_view(body).substr(at, piece))) {
            return After::Close;
          }
        }
        ++pagesSent_;
        return After::Close;
      }
      case Answer::Page:
        break;
    }
    if (SendPiece(fd, ResponseHead(body.empty() ? 500 : 200, body.size()) + body)) {
      ++pagesSent_;
    }
    return After::Close;
  }

  Chooser choose_;
  int slowPieces_;
  std::chrono::milliseconds pieceDelay_;
  std::function<void(const std::string&)> onRequest_;
  std::atomic<int> pagesSent_{0};
  // Last, so that its thread starts after everything it uses and stops before it goes.
  net_test::RawTestServer server_;
};

// The lines pelmo writes for the sample service's daily price rows of `code` dated within
// [first, last], oldest first.
inline std::string ServiceRows(const std::string& code, qs::Day first, qs::Day last) {
  const qs::SyntheticHistory history(qs::ProfileOf(code), qs::TodayUtc());
  std::vector<qs::PriceRow> rows = history.PriceRows(qs::Period::Daily, first, last, 1u << 20);
  std::reverse(rows.begin(), rows.end());
  std::string lines;
  for (const qs::PriceRow& row : rows) {
    const std::chrono::year_month_day ymd{row.date};
    const QuoteRecord record{
        FromCalendar(static_cast<int>(ymd.year()), static_cast<int>(unsigned(ymd.month())),
                     static_cast<int>(unsigned(ymd.day()))),
        {static_cast<double>(row.open), static_cast<double>(row.high), static_cast<double>(row.low),
         static_cast<double>(row.close), static_cast<double>(row.volume),
         static_cast<double>(row.adjustedClose)}};
    lines += FormatRecordLine(record, 6, ',');
  }
  return lines;
}

inline qs::Day ServiceDay(int year, int month, int day) {
  return qs::Day{std::chrono::year{year} / std::chrono::month(static_cast<unsigned>(month)) /
                 std::chrono::day(static_cast<unsigned>(day))};
}

}  // namespace pelmo::testing
