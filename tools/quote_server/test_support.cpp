#include "tools/quote_server/test_support.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdlib>

namespace pelmo::quote_server::testing {

std::string EucJpToUtf8(std::string_view euc) {
  iconv_t converter = iconv_open("UTF-8", "EUC-JP");
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    ADD_FAILURE() << "no EUC-JP converter";
    return "";
  }
  std::string in(euc);
  std::string out(in.size() * 2 + 16, '\0');
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(converter);
  EXPECT_NE(result, static_cast<std::size_t>(-1))
      << "invalid EUC-JP at byte " << (in.size() - inLeft);
  out.resize(out.size() - outLeft);
  return out;
}

std::string CutTable(std::string_view page) {
  const auto marker = page.find("<!--/tab-->");
  const auto from = marker == std::string_view::npos ? 0 : marker + 1;
  const auto first = page.find("<table", from);
  if (first == std::string_view::npos) {
    return "";
  }
  const auto second = page.find("<table", first + 1);
  if (second == std::string_view::npos) {
    return "";
  }
  const auto end = page.find("</table>", second);
  if (end == std::string_view::npos) {
    return "";
  }
  return std::string(page.substr(second, end + 8 - second));
}

namespace {

void EraseAll(std::string& text, const std::string& what) {
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what)) {
    text.erase(at, what.size());
  }
}

// The texts between tags of one row's markup.
std::vector<std::string> TextsOf(std::string_view row) {
  std::vector<std::string> texts;
  std::size_t at = row.find('>');
  while (at != std::string_view::npos) {
    const auto next = row.find('<', at + 1);
    std::string text(row.substr(at + 1, next == std::string_view::npos ? next : next - at - 1));
    if (text.find_first_not_of(" \r\n\t") != std::string::npos) {
      texts.push_back(text);
    }
    if (next == std::string_view::npos) {
      break;
    }
    at = row.find('>', next);
  }
  return texts;
}

}  // namespace

std::vector<std::vector<std::string>> TableTexts(std::string_view page) {
  std::string table = CutTable(page);
  EraseAll(table, "<small>");
  EraseAll(table, "</small>");
  std::vector<std::vector<std::string>> rows;
  for (auto start = table.find("<tr"); start != std::string::npos;) {
    const auto next = table.find("<tr", start + 1);
    const auto end = table.find("</tr>", start);
    rows.push_back(TextsOf(std::string_view(table).substr(start, end - start)));
    start = next;
  }
  return rows;
}

std::pair<double, double> SplitShares(const std::string& note) {
  const std::string marker = "分割:";
  const auto split = note.find(marker);
  const auto arrow = note.find("->");
  if (split == std::string::npos || arrow == std::string::npos) {
    return {0.0, 0.0};
  }
  return {std::strtod(note.c_str() + split + marker.size() + 1, nullptr),
          std::strtod(note.c_str() + arrow + 3, nullptr)};
}

RunningServer::RunningServer(ServerOptions options) {
  options.port = 0;
  server_ = std::make_unique<QuoteServer>(options);
  const BindResult bound = server_->Bind();
  EXPECT_GT(bound.port, 0) << bound.error;
  port_ = bound.port;
  if (port_ > 0) {
    thread_ = std::thread([this] { server_->Serve(); });
  }
}

RunningServer::~RunningServer() {
  server_->Stop();
  if (thread_.joinable()) {
    thread_.join();
  }
}

}  // namespace pelmo::quote_server::testing
