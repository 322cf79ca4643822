// The page step, the EUC-JP conversion and the merge, next to libxml2's HTML parser and glibc's
// iconv on the same bytes.
//
// The pages are the ones a 1990-2026 daily download of 7203 asks for, fetched once from a
// running quote-server named by --host=HOST:PORT (scripts/bench.sh starts one). Without
// --host only the merge benchmarks run.
#include <iconv.h>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/download/date_windows.h"
#include "app/output/existing_file.h"
#include "app/output/output_file.h"
#include "dates/serial_date.h"
#include "net/euc_jp.h"
#include "net/http_fetcher.h"
#include "net/http_global_init.h"
#include "quote/page_tree.h"
#include "quote/quote_page.h"
#include "quote/quote_url.h"

namespace pelmo {
namespace {

struct Page {
  std::string url;
  std::string eucJp;     // as received
  std::string shiftJis;  // as the program reads it
};

std::vector<Page>& Pages() {
  static std::vector<Page> pages;
  return pages;
}

DownloadJob MakeJob(const std::string& host) {
  DownloadJob job;
  job.start = {1990, 1, 0, 1};
  job.end = {2026, 12, 0, 31};
  job.code = "7203.t";
  job.host = host;
  return job;
}

bool FetchPages(const std::string& host) {
  const DownloadJob job = MakeJob(host);
  for (const DateWindow& window : BuildWindows(job.start, job.end, job.period)) {
    Page page;
    page.url = BuildQuoteUrl(job, window.first, window.last);
    HttpFetcher fetcher;
    if (fetcher.Fetch(page.url) == nullptr || !fetcher.LastResult().ok()) {
      std::fprintf(stderr, "peer_bench: cannot fetch %s: %s (%d)\n", page.url.c_str(),
                   fetcher.LastResult().message.c_str(), fetcher.LastResult().code);
      return false;
    }
    page.eucJp = *fetcher.rawText;
    page.shiftJis = *fetcher.pageText;
    Pages().push_back(std::move(page));
  }
  return true;
}

std::int64_t TotalShiftJisBytes() {
  std::int64_t total = 0;
  for (const Page& page : Pages()) {
    total += static_cast<std::int64_t>(page.shiftJis.size());
  }
  return total;
}

// Hands out the fetched pages by address, as the service would. The fetcher hands its text
// over without a copy, so the copies are made before the timed part of each iteration.
class CannedPages : public PageSource {
 public:
  CannedPages() {
    texts_.reserve(Pages().size());
    for (const Page& page : Pages()) {
      texts_.push_back(page.shiftJis);
    }
  }

  PageResult Get(const std::string& url) override {
    const std::size_t at = next_++ % Pages().size();
    PageResult result;
    if (Pages()[at].url == url) {
      result.text = std::move(texts_[at]);
    } else {
      result.result = Failure(Reason::UnsupportedAddress, "unexpected address");
    }
    return result;
  }

 private:
  std::vector<std::string> texts_;
  std::size_t next_ = 0;
};

// One iteration reads every page of the download into a fresh job: cut, strip, tree, rows.
void BM_PageStep(benchmark::State& state, const std::string& host) {
  for (auto _ : state) {
    state.PauseTiming();
    CannedPages source;
    state.ResumeTiming();
    DownloadJob job = MakeJob(host);
    for (const DateWindow& window : BuildWindows(job.start, job.end, job.period)) {
      const Result outcome =
          FetchQuotePage(job, window.first, window.last, source, ParseQuotePageTree);
      if (!outcome.ok()) {
        state.SkipWithError(outcome.message.c_str());
        return;
      }
    }
    if (job.records.empty()) {
      state.SkipWithError("the pages gave no rows");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(Pages().size()));
  state.SetBytesProcessed(state.iterations() * TotalShiftJisBytes());
}

// The same pages parsed whole into a tree and freed. `encoding` is what the parser is told
// the bytes are: Shift_JIS is right, and makes it convert to UTF-8; ISO-8859-1 is the
// cheapest decoding it has, for a figure without conversion.
void BM_Libxml2Parse(benchmark::State& state, const char* encoding) {
  constexpr int kOptions = HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET |
                           HTML_PARSE_NOBLANKS | HTML_PARSE_IGNORE_ENC;
  for (auto _ : state) {
    for (const Page& page : Pages()) {
      htmlDocPtr doc = htmlReadMemory(page.shiftJis.data(), static_cast<int>(page.shiftJis.size()),
                                      page.url.c_str(), encoding, kOptions);
      if (doc == nullptr || xmlDocGetRootElement(doc) == nullptr) {
        state.SkipWithError("libxml2 gave no tree");
        xmlFreeDoc(doc);
        return;
      }
      xmlFreeDoc(doc);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(Pages().size()));
  state.SetBytesProcessed(state.iterations() * TotalShiftJisBytes());
}

// A few MB of received page text: the pages end to end, repeated.
const std::string& EucJpText() {
  static const std::string text = [] {
    std::string all;
    for (const Page& page : Pages()) {
      all += page.eucJp;
    }
    std::string repeated;
    while (!all.empty() && repeated.size() < 4 * 1024 * 1024) {
      repeated += all;
    }
    return repeated;
  }();
  return text;
}

void BM_EucJpConvert(benchmark::State& state) {
  const std::string& source = EucJpText();
  std::string destination(source.size() + 1, '\0');
  for (auto _ : state) {
    const EucJpConversion done =
        ConvertEucJpToShiftJis(source, destination.data(), destination.size());
    if (!done.complete) {
      state.SkipWithError("conversion stopped early");
      return;
    }
    benchmark::DoNotOptimize(destination.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(source.size()));
}

// Converts all of `source`; the output length, or -1 when iconv stopped early.
long IconvAll(iconv_t cd, const std::string& source, std::string& destination) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(source.data());
  std::size_t inLeft = source.size();
  char* out = destination.data();
  std::size_t outLeft = destination.size();
  if (iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) {
    return -1;
  }
  return static_cast<long>(destination.size() - outLeft);
}

void BM_IconvEucJp(benchmark::State& state) {
  const std::string& source = EucJpText();
  std::string destination(source.size() + 1, '\0');
  const iconv_t cd = iconv_open("SHIFT_JIS", "EUC-JP");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("iconv_open failed");
    return;
  }
  for (auto _ : state) {
    if (IconvAll(cd, source, destination) < 0) {
      state.SkipWithError("iconv stopped early");
      break;
    }
    benchmark::DoNotOptimize(destination.data());
  }
  iconv_close(cd);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(source.size()));
}

// Whether both conversions give the same bytes, so that the two figures are comparable.
bool ConversionsAgree() {
  const std::string& source = EucJpText();
  const std::string ours = ConvertEucJpToShiftJis(source);
  std::string theirs(source.size() + 1, '\0');
  const iconv_t cd = iconv_open("SHIFT_JIS", "EUC-JP");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    return false;
  }
  const long length = IconvAll(cd, source, theirs);
  iconv_close(cd);
  return length >= 0 && std::string_view(theirs.data(), static_cast<std::size_t>(length)) == ours;
}

// An existing file of `rows` daily rows from 1950 on, merged with a re-download of every one
// of its days: load, replace by date, sort, format.
void BM_Merge(benchmark::State& state) {
  const auto rows = static_cast<int>(state.range(0));
  char path[] = "/tmp/peer_bench_merge_XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) {
    state.SkipWithError("cannot create the existing file");
    return;
  }
  std::vector<QuoteRecord> download;
  std::string file;
  const SerialDate first = FromCalendar(1950, 1, 1);
  for (int i = 0; i < rows; ++i) {
    QuoteRecord record;
    record.date = AddDays(first, i);
    record.values = {1000.0 + i % 97, 1010.0 + i % 89, 990.0 + i % 83,
                     1001.0 + i % 79, 100000.0 + i,    1001.0 + i % 79};
    file += FormatRecordLine(record, 6, ',');
    record.values[3] += 1.0;
    download.push_back(record);
  }
  const bool written = ::write(fd, file.data(), file.size()) == static_cast<ssize_t>(file.size());
  ::close(fd);
  if (!written) {
    ::unlink(path);
    state.SkipWithError("cannot write the existing file");
    return;
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    DownloadJob job;
    job.outputPath = path;
    OutputTarget target;
    if (!OutputTarget::Open(job.outputPath, target).ok() || !ReadExistingFile(job, target).ok()) {
      state.SkipWithError("cannot read the existing file");
      break;
    }
    for (const QuoteRecord& record : download) {
      job.records.ReplaceByDate(record);
    }
    job.records.SortByDate();
    bytes = 0;
    for (const QuoteRecord& record : job.records.Records()) {
      bytes += FormatRecordLine(record, job.columnCount, ',').size();
    }
    if (job.records.size() != download.size()) {
      state.SkipWithError("the merge lost or doubled rows");
      break;
    }
    benchmark::DoNotOptimize(bytes);
  }
  ::unlink(path);
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_Merge)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pelmo

int main(int argc, char** argv) {
  std::string host;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument.starts_with("--host=")) {
      host = std::string(argument.substr(7));
    } else {
      rest.push_back(argv[i]);
    }
  }
  const pelmo::HttpGlobalInit http;
  if (!host.empty()) {
    if (!http.Succeeded() || !pelmo::FetchPages(host)) {
      return 1;
    }
    std::fprintf(stderr, "peer_bench: %zu pages, %lld bytes; %zu bytes of EUC-JP text\n",
                 pelmo::Pages().size(), static_cast<long long>(pelmo::TotalShiftJisBytes()),
                 pelmo::EucJpText().size());
    std::fprintf(stderr, "peer_bench: iconv gives the same bytes: %s\n",
                 pelmo::ConversionsAgree() ? "yes" : "no");
    benchmark::RegisterBenchmark("BM_PageStep", pelmo::BM_PageStep, host)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Libxml2Parse/Shift_JIS", pelmo::BM_Libxml2Parse, "Shift_JIS")
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Libxml2Parse/ISO-8859-1", pelmo::BM_Libxml2Parse, "ISO-8859-1")
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_EucJpConvert", pelmo::BM_EucJpConvert)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_IconvEucJp", pelmo::BM_IconvEucJp)
        ->Unit(benchmark::kMillisecond);
  }
  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  if (benchmark::ReportUnrecognizedArguments(count, rest.data())) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  xmlCleanupParser();
  return 0;
}
