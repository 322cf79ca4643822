// The query of a table page request, checked and read into dates.
//
// Price page: /t?c=&a=&b=&f=&d=&e=&g=&s=&y=0&z=  Margin page: /bt?s=&a=&b=&c=&d=&e=&f=
// a, b, c are the start's month, day and year; d, e, f the end's; g is d, w or m; s and z
// are the code. Every key must be present once (others are ignored), numbers are decimal
// integers, the two dates must be real calendar days (so -1 parts, which a client sends
// for a date it does not have, are malformed), y must be 0, z must equal s and the code
// must pass IsValidCode. A start after the end is well formed: the window is just empty.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "tools/quote_server/synthetic_history.h"
#include "tools/quote_server/trading_calendar.h"

namespace pelmo::quote_server {

enum class PageKind { Price, Margin };

struct PageQuery {
  PageKind kind = PageKind::Price;
  std::string code;
  Day first;
  Day last;
  Period period = Period::Daily;  // Weekly for margin pages
};

// Decoded query keys and values (the shape of httplib::Params).
using QueryParams = std::multimap<std::string, std::string>;

// The query, or nullopt when it is malformed.
std::optional<PageQuery> ParsePageQuery(PageKind kind, const QueryParams& params);

}  // namespace pelmo::quote_server
