// One table page, as the Shift_JIS text a fetch would give, through the whole page step:
// cutting to the table, dropping `small` tags, tokenizing, building the tree and reading
// the rows into a job. The same bytes also check that the one-pass tag removal, whenever it
// answers, leaves what removing each tag in turn leaves.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <array>
#include <optional>

#include "quote/page_tree.h"
#include "quote/quote_page.h"
#include "quote/sjis_search.h"
#include "quote/tag_strip.h"

namespace {

class CannedSource : public pelmo::PageSource {
 public:
  explicit CannedSource(std::string text) : text_(std::move(text)) {}
  pelmo::PageResult Get(const std::string&) override { return {std::move(text_), {}}; }

 private:
  std::string text_;
};

// Note rows are echoed; they must go somewhere real so that the writes are exercised.
std::FILE* NullSink() {
  static std::FILE* const sink = std::fopen("/dev/null", "w");
  return sink;
}

void CheckOnePassRemoval(std::string_view text) {
  static const std::array<std::string, 4> kTags{"<small>", "<SMALL>", "</small>", "</SMALL>"};
  const std::optional<std::string> onePass = pelmo::RemoveTagsInOnePass(text, kTags);
  if (!onePass) {
    return;
  }
  std::string inTurn(text);
  for (const std::string& tag : kTags) {
    inTurn = pelmo::RemoveAllMatches(inTurn, tag);
  }
  if (*onePass != inTurn) {
    std::fprintf(stderr, "one-pass removal differs from removal in turn\n");
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckOnePassRemoval(std::string_view(reinterpret_cast<const char*>(data), size));
  pelmo::DownloadJob job;
  job.code = "1234.t";
  job.errorStream = NullSink();
  CannedSource source(std::string(reinterpret_cast<const char*>(data), size));
  const pelmo::Result outcome =
      pelmo::FetchQuotePage(job, pelmo::FromCalendar(2007, 1, 5), pelmo::FromCalendar(2007, 3, 31),
                            source, &pelmo::ParseQuotePageTree);
  // A page that was had counts as fetched, whatever its content, unless rows of it were not
  // stored; and then no other failure.
  const bool read = outcome.ok() || outcome.reason == pelmo::Reason::NotUnderstood;
  if (!read || job.columnCount < 0 || job.columnCount > 6) {
    std::fprintf(stderr, "fetched %d, columnCount %d\n", outcome.ok(), job.columnCount);
    std::abort();
  }
  return 0;
}
