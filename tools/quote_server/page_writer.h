// The HTML of a table page, as a page of the late 1990s would carry it.
//
// Layout: DOCTYPE; head with a title naming the security, a META charset and a script
// (whose text holds '<' and "&&"); a navigation area of small tables; the marker comment
// <!--/tab-->; the name table (name, code, market; never a nested table); the data table;
// a footer of one-row tables and a copyright line.
//
// A client keeps the second table after the marker, so that table must be the data table.
// A page without rows has no data table: the second table after the marker is then the
// footer's first, which has a single row and thus nothing beyond a header row.
//
// The data table holds a header row and then the rows newest first, at most kMaxRows; a
// split is a row of its own (date cell and one note cell) below the rows of its date.
#pragma once

#include <cstddef>
#include <string>

#include "tools/quote_server/page_query.h"
#include "tools/quote_server/synthetic_history.h"

namespace pelmo::quote_server {

inline constexpr std::size_t kMaxRows = 50;

inline constexpr const char* kNoRowsMessage = "この検索期間の価格データはありません。";
inline constexpr const char* kNoCodeMessage = "その銘柄の価格データはありません。";

// The page for the query, in UTF-8 with LF line ends; `lastDay` is the newest day with data.
std::string RenderPage(const PageQuery& query, Day lastDay);

// "1,234,567" and "-1,234".
std::string Grouped(std::int64_t value);

}  // namespace pelmo::quote_server
