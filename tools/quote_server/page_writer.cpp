#include "tools/quote_server/page_writer.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace pelmo::quote_server {

namespace {

const char* const kDataTableStart =
    "<table width=\"100%\" border=0 cellspacing=1 cellpadding=2 bgcolor=\"#999999\">\n";

std::string HeaderRow(const std::vector<const char*>& titles) {
  std::string html = "<tr bgcolor=\"#dcdcdc\">\n";
  for (const char* title : titles) {
    html += std::string("<th><small>") + title + "</small></th>\n";
  }
  return html + "</tr>\n";
}

std::string Cell(const std::string& text) {
  return "<td><small>" + text + "</small></td>\n";
}

std::string PriceRowHtml(const PriceRow& row, Period period) {
  const std::string date =
      period == Period::Monthly ? JapaneseMonth(row.date) : JapaneseDate(row.date);
  return "<tr align=right bgcolor=\"#ffffff\">\n" + Cell(date) + Cell(Grouped(row.open)) +
         Cell(Grouped(row.high)) + Cell(Grouped(row.low)) +
         Cell("<b>" + Grouped(row.close) + "</b>") + Cell(Grouped(row.volume)) +
         Cell(Grouped(row.adjustedClose)) + "</tr>\n";
}

std::string SplitRowHtml(const StockSplit& split) {
  return "<tr bgcolor=\"#ffffff\">\n<td>" + JapaneseDate(split.date) +
         "</td>\n<td colspan=6 align=center>" + SplitNote(split) + "</td>\n</tr>\n";
}

std::string Ratio(std::int64_t hundredths) {
  const std::string cents = std::to_string(hundredths % 100);
  return Grouped(hundredths / 100) + "." + (cents.size() < 2 ? "0" : "") + cents;
}

std::string MarginRowHtml(const MarginRow& row) {
  return "<tr align=right bgcolor=\"#ffffff\">\n" + Cell(JapaneseDate(row.date)) +
         Cell(Grouped(row.sellBalance)) + Cell(Grouped(row.sellChange)) +
         Cell(Grouped(row.buyBalance)) + Cell(Grouped(row.buyChange)) +
         Cell(Ratio(row.ratioHundredths)) + "</tr>\n";
}

// The price table, or an empty text when the window has no rows.
std::string PriceTable(const SyntheticHistory& history, const PageQuery& query) {
  const auto rows = history.PriceRows(query.period, query.first, query.last, kMaxRows);
  if (rows.empty()) {
    return "";
  }
  // When the row limit cut the window, splits older than the rows shown are left out too.
  const Day oldest = rows.size() == kMaxRows ? rows.back().date : query.first;
  const auto splits = history.SplitsWithin(std::max(oldest, query.first), query.last);
  std::string html = kDataTableStart;
  html += HeaderRow({"日付", "始値", "高値", "安値", "終値", "出来高", "調整後終値*"});
  auto split = splits.begin();
  for (const PriceRow& row : rows) {
    for (; split != splits.end() && split->date > row.date; ++split) {
      html += SplitRowHtml(*split);
    }
    html += PriceRowHtml(row, query.period);
  }
  for (; split != splits.end(); ++split) {
    html += SplitRowHtml(*split);
  }
  return html + "</table>\n";
}

std::string MarginTable(const SyntheticHistory& history, const PageQuery& query) {
  const auto rows = history.MarginRows(query.first, query.last, kMaxRows);
  if (rows.empty()) {
    return "";
  }
  std::string html = kDataTableStart;
  html += HeaderRow({"日付", "売残", "前週比", "買残", "前週比", "貸借倍率"});
  for (const MarginRow& row : rows) {
    html += MarginRowHtml(row);
  }
  return html + "</table>\n";
}

std::string Head(const CodeProfile& profile, PageKind kind) {
  const char* subject = kind == PageKind::Price ? "時系列" : "信用残時系列";
  return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
         "<html>\n<head>\n"
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">\n"
         "<title>" +
         profile.name + " (" + profile.code + ") - " + subject +
         "</title>\n"
         "<script type=\"text/javascript\">\n<!--\n"
         "function checkCode(form) {\n"
         "  var s = form.s.value;\n"
         "  if (s.length < 4 && s != \"\") { alert(\"コードは4桁です\"); return false; }\n"
         "  return s.length > 0 && s.length <= 8;\n"
         "}\n//-->\n</script>\n</head>\n";
}

std::string Navigation(const CodeProfile& profile) {
  const std::string code = profile.code;
  return "<body bgcolor=\"#ffffff\">\n"
         "<table border=0 cellspacing=0 cellpadding=0 width=\"100%\">\n"
         "<tr><td><small><a href=\"/\">トップ</a> &gt; <a href=\"/t?s=" +
         code +
         "\">時系列</a></small></td>\n"
         "<td align=right><small><a href=\"/help\">ヘルプ</a></small></td></tr>\n"
         "</table>\n"
         "<table border=0 cellspacing=0 cellpadding=2 width=\"100%\">\n"
         "<tr><td><small><a href=\"/t?s=" +
         code +
         "&amp;g=d\">日次</a> | "
         "<a href=\"/t?s=" +
         code +
         "&amp;g=w\">週次</a> | "
         "<a href=\"/t?s=" +
         code +
         "&amp;g=m\">月次</a> | "
         "<a href=\"/bt?s=" +
         code +
         "\">信用残</a></small></td></tr>\n"
         "</table>\n";
}

std::string NameTable(const CodeProfile& profile) {
  return "<table border=0 cellspacing=0 cellpadding=2 width=\"100%\">\n"
         "<tr><td><b>" +
         profile.name + "</b></td><td><small>" + profile.base +
         "</small></td><td><small>東証1部</small></td></tr>\n"
         "</table>\n";
}

std::string Footer() {
  return "<table border=0 cellspacing=0 cellpadding=4 width=\"100%\">\n"
         "<tr><td align=center><small><a href=\"/\">トップ</a> | "
         "<a href=\"/help\">ヘルプ</a></small></td></tr>\n"
         "</table>\n"
         "<table border=0 cellspacing=0 cellpadding=4 width=\"100%\">\n"
         "<tr><td align=center><small>ご注意: 掲載の価格は試験用の架空のデータです。"
         "</small></td></tr>\n"
         "</table>\n"
         "<p align=center><small>Copyright (C) 1990-2026 quote-server. "
         "All rights reserved.</small></p>\n"
         "</body>\n</html>\n";
}

std::string Message(const char* text) {
  return std::string("<p><b>") + text + "</b></p>\n";
}

}  // namespace

std::string Grouped(std::int64_t value) {
  const std::string digits = std::to_string(value < 0 ? -value : value);
  std::string text = value < 0 ? "-" : "";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) {
      text += ',';
    }
    text += digits[i];
  }
  return text;
}

std::string RenderPage(const PageQuery& query, Day lastDay) {
  const SyntheticHistory history(ProfileOf(query.code), lastDay);
  const CodeProfile& profile = history.Profile();
  std::string body;
  if (!profile.hasData) {
    body = Message(kNoCodeMessage);
  } else {
    body = query.kind == PageKind::Price ? PriceTable(history, query) : MarginTable(history, query);
    if (body.empty()) {
      body = Message(kNoRowsMessage);
    }
  }
  return Head(profile, query.kind) + Navigation(profile) + "<!--/tab-->\n" + NameTable(profile) +
         body + Footer();
}

}  // namespace pelmo::quote_server
