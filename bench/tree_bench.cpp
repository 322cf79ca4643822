// Tokenizing plus tree building on a page shaped like a quote-service price table page.
#include <cstdint>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/quote_page.h"
#include "html/grammar.h"
#include "html/tree_builder.h"

namespace pelmo {
namespace {

int CountNodes(const HtmlNode* root) {
  int count = 0;
  const HtmlNode* node = root;
  while (node != nullptr) {
    ++count;
    if (node->firstChild != nullptr) {
      node = node->firstChild;
      continue;
    }
    while (node != nullptr && node->nextSibling == nullptr) {
      node = node->parent;
    }
    if (node != nullptr) {
      node = node->nextSibling;
    }
  }
  return count;
}

void BM_BuildQuotePageTree(benchmark::State& state) {
  const std::string page = bench::MakeQuotePage();
  std::int64_t nodes = 0;
  for (auto _ : state) {
    HtmlTreeBuilder builder(page.data(), static_cast<int>(page.size()));
    builder.Run();
    benchmark::DoNotOptimize(builder.root());
    if (nodes == 0) {
      nodes = CountNodes(builder.root());
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
  state.counters["nodes"] = static_cast<double>(nodes);
  state.counters["page_bytes"] = static_cast<double>(page.size());
}
BENCHMARK(BM_BuildQuotePageTree);

// The grammar alone, over a token list built once.
void BM_BuildTreeFromTokens(benchmark::State& state) {
  const std::string page = bench::MakeQuotePage();
  HtmlTokenList tokens(page.data(), static_cast<int>(page.size()));
  tokens.Run();
  for (auto _ : state) {
    HtmlTree tree = BuildDocumentTree(tokens.head);
    benchmark::DoNotOptimize(tree.root());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_BuildTreeFromTokens);

}  // namespace
}  // namespace pelmo

BENCHMARK_MAIN();
