// A page shaped like a quote-service price table page (about 20 KB), for benchmarks: a
// navigation bar, an information table, a data table of 50 rows and a footer.
#pragma once

#include <string>

namespace pelmo::bench {

// Shift_JIS bytes of the year, month and day marks used in the table's date cells.
inline constexpr const char* kYear = "\x94\x4e";
inline constexpr const char* kMonth = "\x8c\x8e";
inline constexpr const char* kDay = "\x93\xfa";

inline void AppendNavigation(std::string& page) {
  page +=
      "<table border=0 cellspacing=0 cellpadding=0 width=\"100%\">\r\n<tr>\r\n"
      "<td bgcolor=\"#ffffff\" nowrap><small><a href=\"/\">Top</a> | "
      "<a href=\"/news/\">News</a> | <a href=\"/markets/\">Markets</a> | "
      "<a href=\"/help/index.html\">Help</a></small></td>\r\n"
      "<td align=right><small><a href=\"/login?.done=%2Fq\">Sign in</a></small></td>\r\n"
      "</tr>\r\n</table>\r\n<!--/tab-->\r\n";
  for (int i = 0; i < 2; ++i) {
    page +=
        "<table width=\"100%\" border=0 cellspacing=0 cellpadding=2><tr bgcolor=\"#dcdcdc\">"
        "<td><small><b>Quotes</b> &gt; <a href=\"/q?s=1234\">Chart</a> &amp; "
        "<a href=\"/p?s=1234\">Profile</a>&nbsp;&nbsp;<a href=\"/h?s=1234\">History</a>"
        "</small></td></tr></table>\r\n";
  }
}

inline void AppendInfoTable(std::string& page) {
  page +=
      "<table border=0 cellpadding=3 cellspacing=0 width=\"100%\">\r\n"
      "<tr><td><b>1234.T</b> <small>Example Industries</small></td>\r\n"
      "<td align=right><small>Period: <select name=p><option value=d selected>daily"
      "<option value=w>weekly<option value=m>monthly</select></small></td></tr>\r\n"
      "<tr><td colspan=2><hr noshade size=1></td></tr>\r\n</table>\r\n";
}

inline void AppendDataTable(std::string& page) {
  page +=
      "<table width=\"100%\" border=0 cellspacing=1 cellpadding=2 bgcolor=\"#999999\">\r\n"
      "<tr bgcolor=\"#dcdcdc\">";
  for (const char* heading : {"Date", "Open", "High", "Low", "Close", "Volume", "Adj. close"}) {
    page += "<th><small>";
    page += heading;
    page += "</small></th>";
  }
  page += "</tr>\r\n";
  for (int row = 0; row < 50; ++row) {
    page += "<tr align=right bgcolor=\"#ffffff\">\r\n<td><small>2007";
    page += kYear + std::to_string(1 + row % 12) + kMonth + std::to_string(1 + row % 28) + kDay;
    page += "</small></td>\r\n";
    for (int column = 0; column < 6; ++column) {
      page += "<td><small><b>" + std::to_string(1 + row % 9) + "," +
              std::to_string(100 + (row * 37 + column * 11) % 900) + "</b></small></td>\r\n";
    }
    page += "</tr>\r\n";
  }
  page += "</table>\r\n";
}

inline void AppendFooter(std::string& page) {
  for (int i = 0; i < 3; ++i) {
    page +=
        "<table border=0 cellpadding=0 cellspacing=0 width=\"100%\"><tr><td height=5>"
        "<img src=\"/i/sp.gif\" width=1 height=5 alt=\"\"></td></tr>\r\n"
        "<tr><td align=center><small>Copyright &copy; 2007 Example. All rights reserved. "
        "<a href=\"/info/terms.html\">Terms</a> - <a href=\"/info/privacy.html\">Privacy"
        "</a></small></td></tr></table>\r\n";
  }
}

inline std::string MakeQuotePage() {
  std::string page =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n<html>\r\n<head>\r\n"
      "<title>1234.T: Historical prices</title>\r\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\r\n"
      "<script language=javascript><!--\r\nfunction f(a, b) { if (a < b && b > 0) "
      "return a; return b; }\r\n//--></script>\r\n</head>\r\n"
      "<body bgcolor=white text=black link=\"#0000cc\">\r\n";
  AppendNavigation(page);
  AppendInfoTable(page);
  AppendDataTable(page);
  AppendFooter(page);
  page += "</body>\r\n</html>\r\n";
  return page;
}

}  // namespace pelmo::bench
