// Tokenizing speed on a page shaped like a quote-service price table page.
#include <string>

#include <benchmark/benchmark.h>

#include "bench/quote_page.h"
#include "html/lexer.h"
#include "html/token_list.h"

namespace pelmo {
namespace {

using bench::MakeQuotePage;

int CountTokens(const HtmlTokenList& list) {
  int count = 0;
  for (const HtmlToken* t = list.head; t != nullptr; t = t->next) {
    ++count;
  }
  return count;
}

void BM_TokenizeQuotePage(benchmark::State& state) {
  const std::string page = MakeQuotePage();
  std::int64_t tokens = 0;
  for (auto _ : state) {
    HtmlTokenList list(page.data(), static_cast<int>(page.size()));
    list.Run();
    tokens += CountTokens(list);
    benchmark::DoNotOptimize(list.head);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
  state.counters["tokens"] =
      benchmark::Counter(static_cast<double>(tokens), benchmark::Counter::kIsRate);
  state.counters["page_bytes"] = static_cast<double>(page.size());
}
BENCHMARK(BM_TokenizeQuotePage);

int CountEvent(void* user, HtmlLexer&, int count, const HtmlLexKind*, const char* const*,
               const int*) {
  *static_cast<std::int64_t*>(user) += count;
  return 0;
}

void BM_LexQuotePage(benchmark::State& state) {
  const std::string page = MakeQuotePage();
  std::int64_t lexTokens = 0;
  HtmlLexSinks sinks;
  sinks.content = sinks.declaration = sinks.message = &CountEvent;
  sinks.contentUser = sinks.declarationUser = sinks.messageUser = &lexTokens;
  for (auto _ : state) {
    HtmlLexer lexer;
    lexer.SetNormalize(true);
    lexer.Feed(page.data(), static_cast<int>(page.size()), sinks);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
  state.counters["tokens"] =
      benchmark::Counter(static_cast<double>(lexTokens), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LexQuotePage);

}  // namespace
}  // namespace pelmo

BENCHMARK_MAIN();
