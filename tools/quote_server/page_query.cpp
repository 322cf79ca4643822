#include "tools/quote_server/page_query.h"

#include <charconv>

#include "tools/quote_server/code_profile.h"

namespace pelmo::quote_server {

namespace {

std::optional<std::string> Single(const QueryParams& params, const std::string& key) {
  if (params.count(key) != 1) {
    return std::nullopt;
  }
  return params.find(key)->second;
}

std::optional<int> Integer(const QueryParams& params, const std::string& key) {
  const auto text = Single(params, key);
  if (!text || text->empty() || text->size() > 9) {
    return std::nullopt;
  }
  int value = 0;
  const char* end = text->data() + text->size();
  const auto [stop, error] = std::from_chars(text->data(), end, value);
  if (error != std::errc{} || stop != end) {
    return std::nullopt;
  }
  return value;
}

std::optional<Day> DateOf(const QueryParams& params, const char* yearKey, const char* monthKey,
                          const char* dayKey) {
  const auto year = Integer(params, yearKey);
  const auto month = Integer(params, monthKey);
  const auto day = Integer(params, dayKey);
  if (!year || !month || !day) {
    return std::nullopt;
  }
  return MakeDay(*year, *month, *day);
}

std::optional<Period> PeriodOf(const std::string& letter) {
  if (letter == "d") {
    return Period::Daily;
  }
  if (letter == "w") {
    return Period::Weekly;
  }
  if (letter == "m") {
    return Period::Monthly;
  }
  return std::nullopt;
}

}  // namespace

std::optional<PageQuery> ParsePageQuery(PageKind kind, const QueryParams& params) {
  const auto code = Single(params, "s");
  const auto first = DateOf(params, "c", "a", "b");
  const auto last = DateOf(params, "f", "d", "e");
  if (!code || !IsValidCode(*code) || !first || !last) {
    return std::nullopt;
  }
  PageQuery query{kind, *code, *first, *last, Period::Weekly};
  if (kind == PageKind::Margin) {
    return query;
  }
  const auto letter = Single(params, "g");
  const auto period = letter ? PeriodOf(*letter) : std::nullopt;
  if (!period || Single(params, "y") != "0" || Single(params, "z") != code) {
    return std::nullopt;
  }
  query.period = *period;
  return query;
}

}  // namespace pelmo::quote_server
