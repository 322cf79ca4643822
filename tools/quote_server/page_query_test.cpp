#include "tools/quote_server/page_query.h"

#include <gtest/gtest.h>

#include "tools/quote_server/command_line.h"

namespace pelmo::quote_server {
namespace {

Day D(int y, int m, int d) {
  return *MakeDay(y, m, d);
}

// The query as a client sends it, with one key replaced, added or (value "-") removed.
QueryParams PriceParams(const std::string& key = "", const std::string& value = "") {
  QueryParams params = {{"c", "2007"}, {"a", "1"}, {"b", "5"},      {"f", "2007"}, {"d", "3"},
                        {"e", "31"},   {"g", "d"}, {"s", "1234.t"}, {"y", "0"},    {"z", "1234.t"}};
  if (!key.empty()) {
    params.erase(key);
    if (value != "-") {
      params.emplace(key, value);
    }
  }
  return params;
}

TEST(PageQuery, ClientQueriesParse) {
  const auto price = ParsePageQuery(PageKind::Price, PriceParams());
  ASSERT_TRUE(price);
  EXPECT_EQ(price->code, "1234.t");
  EXPECT_EQ(price->first, D(2007, 1, 5));
  EXPECT_EQ(price->last, D(2007, 3, 31));
  EXPECT_EQ(price->period, Period::Daily);
  EXPECT_EQ(ParsePageQuery(PageKind::Price, PriceParams("g", "w"))->period, Period::Weekly);
  EXPECT_EQ(ParsePageQuery(PageKind::Price, PriceParams("g", "m"))->period, Period::Monthly);

  const QueryParams margin = {{"s", "1234.t"}, {"a", "1"},  {"b", "5"},   {"c", "2007"},
                              {"d", "3"},      {"e", "31"}, {"f", "2007"}};
  const auto parsed = ParsePageQuery(PageKind::Margin, margin);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->kind, PageKind::Margin);
  EXPECT_EQ(parsed->first, D(2007, 1, 5));
  EXPECT_EQ(parsed->last, D(2007, 3, 31));
}

TEST(PageQuery, ReversedWindowIsWellFormed) {
  auto params = PriceParams("c", "2008");
  const auto query = ParsePageQuery(PageKind::Price, params);
  ASSERT_TRUE(query);
  EXPECT_GT(query->first, query->last);
}

TEST(PageQuery, MalformedQueries) {
  struct Case {
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"c", "-"},     {"a", "-1"},  {"b", "-1"},         {"c", "-1"}, {"e", "30x"},
      {"d", ""},      {"e", " 31"}, {"b", "0x5"},        {"a", "13"}, {"d", "2"},  // 31 Feb
      {"f", "10000"}, {"g", "x"},   {"g", "-"},          {"g", "dd"}, {"y", "1"},
      {"y", "-"},     {"z", "-"},   {"z", "1234"},       {"s", "-"},  {"s", ""},
      {"s", "12 34"}, {"b", "1e1"}, {"c", "9999999999"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(ParsePageQuery(PageKind::Price, PriceParams(c.key, c.value)))
        << c.key << "=" << c.value;
  }
  auto duplicate = PriceParams();
  duplicate.emplace("a", "2");
  EXPECT_FALSE(ParsePageQuery(PageKind::Price, duplicate));
  // Unknown keys are ignored; the margin page needs no g, y or z.
  EXPECT_TRUE(ParsePageQuery(PageKind::Price, PriceParams("x", "1")));
  const QueryParams marginWithoutYear = {{"s", "1234.t"}, {"a", "1"},  {"b", "5"},
                                         {"d", "3"},      {"e", "31"}, {"f", "2007"}};
  EXPECT_FALSE(ParsePageQuery(PageKind::Margin, marginWithoutYear));
}

CommandLine Parse(std::vector<std::string_view> args) {
  return ParseCommandLine(args);
}

TEST(CommandLine, DefaultsAndEveryOption) {
  const CommandLine defaults = Parse({});
  EXPECT_TRUE(defaults.error.empty());
  EXPECT_FALSE(defaults.help);
  EXPECT_EQ(defaults.options.bindAddress, "127.0.0.1");
  EXPECT_EQ(defaults.options.port, 8730);
  EXPECT_TRUE(defaults.options.logPath.empty());
  EXPECT_FALSE(defaults.options.crlf);
  EXPECT_EQ(defaults.options.failFirst, 0);

  const CommandLine all = Parse(
      {"--bind", "0.0.0.0", "--port", "0", "--log", "req.log", "--crlf", "--fail-first", "3"});
  EXPECT_TRUE(all.error.empty()) << all.error;
  EXPECT_EQ(all.options.bindAddress, "0.0.0.0");
  EXPECT_EQ(all.options.port, 0);
  EXPECT_EQ(all.options.logPath, "req.log");
  EXPECT_TRUE(all.options.crlf);
  EXPECT_EQ(all.options.failFirst, 3);
  EXPECT_TRUE(Parse({"--help"}).help);
  EXPECT_TRUE(Parse({"-h"}).help);
}

TEST(CommandLine, Errors) {
  EXPECT_EQ(Parse({"--verbose"}).error, "unknown option --verbose");
  EXPECT_EQ(Parse({"--port"}).error, "--port needs a value");
  EXPECT_EQ(Parse({"--port", "65536"}).error, "--port needs a number from 0 to 65535, not 65536");
  EXPECT_EQ(Parse({"--port", "80x"}).error, "--port needs a number from 0 to 65535, not 80x");
  EXPECT_EQ(Parse({"--fail-first", "-1"}).error,
            "--fail-first needs a number of 0 or more, not -1");
  EXPECT_EQ(Parse({"--log"}).error, "--log needs a value");
  EXPECT_EQ(Parse({"7203"}).error, "unknown option 7203");
}

}  // namespace
}  // namespace pelmo::quote_server
