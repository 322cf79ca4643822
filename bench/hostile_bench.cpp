// The page step (cut, tag removal, tree building, row reading) on hostile pages at two sizes
// each: doubling a page should about double the time.
#include <cstdint>
#include <functional>
#include <string>

#include <benchmark/benchmark.h>

#include "quote/hostile_pages_test_util.h"
#include "quote/page_tree.h"
#include "quote/quote_page.h"

namespace pelmo {
namespace {

void ReadPage(benchmark::State& state, const std::string& page) {
  hostile::CannedPageSource source(page);
  std::size_t records = 0;
  for (auto _ : state) {
    DownloadJob job;
    const Result outcome = FetchQuotePage(job, FromCalendar(2007, 1, 1), FromCalendar(2007, 1, 31),
                                          source, ParseQuotePageTree);
    benchmark::DoNotOptimize(outcome.ok());
    records = job.records.size();
  }
  state.SetComplexityN(state.range(0));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
  state.counters["page_bytes"] = static_cast<double>(page.size());
  state.counters["records"] = static_cast<double>(records);
}

void BM_UnclosedQuote(benchmark::State& state) {
  ReadPage(state, hostile::UnclosedQuotePage(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_UnclosedQuote)
    ->Arg(32 << 20)
    ->Arg(64 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_NestedDiv(benchmark::State& state) {
  ReadPage(state, hostile::NestedPage("<div>", "</div>", static_cast<int>(state.range(0))));
}
BENCHMARK(BM_NestedDiv)
    ->Arg(200000)
    ->Arg(400000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_NestedTables(benchmark::State& state) {
  ReadPage(state, hostile::NestedPage("<table><tr><td>", "</td></tr></table>",
                                      static_cast<int>(state.range(0))));
}
BENCHMARK(BM_NestedTables)
    ->Arg(200000)
    ->Arg(400000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// Anchors do not nest: each start tag ends the one before and drops what follows it.
void BM_NestedAnchors(benchmark::State& state) {
  ReadPage(state, hostile::NestedPage("<a>", "</a>", static_cast<int>(state.range(0))));
}
BENCHMARK(BM_NestedAnchors)
    ->Arg(200000)
    ->Arg(400000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_SiblingRows(benchmark::State& state) {
  ReadPage(state, hostile::SiblingRowsPage(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_SiblingRows)
    ->Arg(1000000)
    ->Arg(2000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_JoinedSmallTags(benchmark::State& state) {
  ReadPage(state, hostile::JoinedSmallTagsPage(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_JoinedSmallTags)
    ->Arg(100000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_AttributeTags(benchmark::State& state) {
  ReadPage(state, hostile::AttributeTagsPage(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_AttributeTags)
    ->Arg(200000)
    ->Arg(400000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_CommaCell(benchmark::State& state) {
  ReadPage(state, hostile::CommaCellPage(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_CommaCell)
    ->Arg(10000000)
    ->Arg(20000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_ReferenceCell(benchmark::State& state) {
  ReadPage(state, hostile::ReferenceCellPage(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ReferenceCell)
    ->Arg(1000000)
    ->Arg(2000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_WideRow(benchmark::State& state) {
  ReadPage(state, hostile::WideRowPage(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_WideRow)
    ->Arg(10000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
}  // namespace pelmo

BENCHMARK_MAIN();
