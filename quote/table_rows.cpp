#include "quote/table_rows.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

#include "quote/cell_number.h"
#include "quote/sjis_search.h"

namespace pelmo {
namespace {

// Shift_JIS literals of the table pages.
constexpr std::string_view kYear = "\x94\x4E";
constexpr std::string_view kMonth = "\x8C\x8E";
constexpr std::string_view kDay = "\x93\xFA";
constexpr std::string_view kSplit = "\x95\xAA\x8A\x84:";
constexpr std::string_view kArrow = "->";

constexpr std::size_t kMaxValues = std::tuple_size_v<decltype(QuoteRecord::values)>;

long long Position(std::string_view text, std::string_view literal) {
  const std::size_t pos = SjisFind(text, literal);
  return pos == kNotFound ? -1 : static_cast<long long>(pos);
}

// `count` bytes from `pos`, both clamped: below 0 counts as 0 and nothing beyond the text.
std::string_view Slice(std::string_view text, long long pos, long long count) {
  const auto size = static_cast<long long>(text.size());
  pos = std::clamp(pos, 0LL, size);
  count = std::clamp(count, 0LL, size - pos);
  return text.substr(static_cast<std::size_t>(pos), static_cast<std::size_t>(count));
}

std::string DateCellText(std::string_view text) {
  const long long year = Position(text, kYear);
  const long long month = Position(text, kMonth);
  const long long day = Position(text, kDay);
  const long long marker = static_cast<long long>(kYear.size());
  const int y = IntegerValue(Slice(text, 0, year));
  const int m = IntegerValue(Slice(text, year + marker, month - (year + marker)));
  const int d = day >= 0 ? IntegerValue(Slice(text, month + marker, day - (month + marker))) : 1;
  if (y < 0 || y > 9999 || m < 0 || m > 99 || d < 0 || d > 99) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.4d/%.2d/%.2d", y, m, d);
    return buffer;
  }
  // The usual case, digits in place, as the format above writes them; a row costs less so.
  std::string date = "0000/00/00";
  for (int i = 3, rest = y; i >= 0; --i, rest /= 10) {
    date[static_cast<std::size_t>(i)] = static_cast<char>('0' + rest % 10);
  }
  date[5] = static_cast<char>('0' + m / 10);
  date[6] = static_cast<char>('0' + m % 10);
  date[8] = static_cast<char>('0' + d / 10);
  date[9] = static_cast<char>('0' + d % 10);
  return date;
}

void AddCell(std::vector<std::string>& cells, const HtmlNode& node, bool headerPending) {
  if (headerPending) {
    return;
  }
  const char* data = static_cast<const char*>(node.data);
  std::string_view text = data != nullptr ? std::string_view(data) : std::string_view();
  // Cells seldom hold a line end; only then is a copy needed.
  std::string spaced;
  if (std::any_of(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; })) {
    spaced.assign(text);
    std::replace_if(
        spaced.begin(), spaced.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    text = spaced;
  }
  if (cells.empty()) {
    cells.push_back(DateCellText(text));
  } else {
    cells.push_back(RemoveAllMatches(text, ","));
  }
}

void AddDataRow(DownloadJob& job, const std::vector<std::string>& cells) {
  QuoteRecord record;
  record.date = Parse(cells[0], true);
  const std::size_t count = std::min(cells.size() - 1, kMaxValues);
  for (std::size_t k = 0; k < count; ++k) {
    record.values[k] = NarrowToFloat(DecimalValue(cells[k + 1]));
  }
  job.columnCount = std::max(job.columnCount, static_cast<int>(count));
  job.records.ReplaceByDate(record);
}

void AddSplitEvent(DownloadJob& job, const std::vector<std::string>& cells) {
  const std::string_view note = cells[1];
  const long long split = Position(note, kSplit);
  const long long arrow = Position(note, kArrow);
  if (split < 0 || arrow < 0) {
    return;
  }
  // Both numbers are read from one byte past their literal; the pages put a space there.
  const long long before = split + static_cast<long long>(kSplit.size()) + 1;
  const long long after = arrow + static_cast<long long>(kArrow.size()) + 1;
  SplitEvent event;
  event.date = Parse(cells[0], true);
  event.sharesBefore = NarrowToFloat(DecimalValue(Slice(note, before, arrow - before)));
  event.sharesAfter =
      NarrowToFloat(DecimalValue(Slice(note, after, static_cast<long long>(note.size()))));
  job.splitEvents.push_back(event);
}

void EchoNoteRow(std::FILE* stream, const std::vector<std::string>& cells) {
  if (stream == nullptr) {
    return;
  }
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) {
      line += ',';
    }
    line += cells[i];
  }
  // Control bytes in page text would drive the terminal; TAB is harmless.
  for (char& c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
      c = ' ';
    }
  }
  line += "\r\n";
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fflush(stream);
}

void EndRow(DownloadJob& job, std::vector<std::string>& cells, bool& headerPending) {
  if (headerPending) {
    headerPending = false;
    return;
  }
  if (cells.size() >= 3) {
    AddDataRow(job, cells);
  } else {
    if (cells.size() == 2) {
      AddSplitEvent(job, cells);
    }
    EchoNoteRow(job.errorStream, cells);
  }
  cells.clear();
}

struct Frame {
  const HtmlNode* node;
  const HtmlNode* nextChild;
  int depth;
};

}  // namespace

void ReadTableRows(DownloadJob& job, std::vector<std::string>& cells, const HtmlNode* node,
                   int depth, bool& headerPending) {
  if (node == nullptr) {
    return;
  }
  // Depth-first in document order; a frame's node is finished (and a row ended) only after
  // its last child, as a recursive walk would do.
  std::vector<Frame> stack;
  const auto enter = [&](const HtmlNode* current, int currentDepth) {
    if (current->code == kTextNodeCode) {
      AddCell(cells, *current, headerPending);
    }
    stack.push_back({current, current->firstChild, currentDepth});
  };
  enter(node, depth);
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.nextChild != nullptr) {
      const HtmlNode* child = top.nextChild;
      top.nextChild = child->nextSibling;
      enter(child, top.depth + 1);
      continue;
    }
    if (top.depth == 1) {
      EndRow(job, cells, headerPending);
    }
    stack.pop_back();
  }
}

void ReadTable(DownloadJob& job, const HtmlNode* table) {
  std::vector<std::string> cells;
  bool headerPending = true;
  ReadTableRows(job, cells, table, 0, headerPending);
}

}  // namespace pelmo
