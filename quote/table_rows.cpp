#include "quote/table_rows.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
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

static_assert(kYear.size() == 2 && kMonth.size() == 2 && kDay.size() == 2);

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

struct DateFields {
  int year = 0;
  int month = 0;
  int day = 0;
};

// Digits at `pos`, at least one and at most `most`; the position after them, or kNotFound.
std::size_t SkipDigits(std::string_view text, std::size_t pos, std::size_t most, int& value) {
  value = 0;
  const std::size_t end = std::min(text.size(), pos + most);
  std::size_t i = pos;
  for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
  }
  return i > pos ? i : kNotFound;
}

// The position after the two-byte date `literal` at `pos`, or kNotFound.
std::size_t SkipLiteral(std::string_view text, std::size_t pos, std::string_view literal) {
  return pos <= text.size() && text.size() - pos >= literal.size() && text[pos] == literal[0] &&
                 text[pos + 1] == literal[1]
             ? pos + literal.size()
             : kNotFound;
}

// The pages' own forms, "2007年1月5日" (anything may follow) and "2007年1月" (nothing may),
// read in one pass. Only digits stand before each literal, so the first match of the
// general search is the one found here, and the fields come out the same. Other texts give
// nullopt and take the general rule.
// Fast path: PlainDateFields (docs/fast_paths.md).
std::optional<DateFields> PlainDateFields(std::string_view text) {
  DateFields fields;
  std::size_t pos = SkipDigits(text, 0, 4, fields.year);
  pos = SkipLiteral(text, pos, kYear);
  if (pos != kNotFound) {
    pos = SkipDigits(text, pos, 2, fields.month);
  }
  pos = SkipLiteral(text, pos, kMonth);
  if (pos == kNotFound) {
    return std::nullopt;
  }
  if (pos == text.size()) {
    fields.day = 1;
    return fields;
  }
  pos = SkipLiteral(text, SkipDigits(text, pos, 2, fields.day), kDay);
  return pos == kNotFound ? std::nullopt : std::optional<DateFields>(fields);
}

DateFields GeneralDateFields(std::string_view text) {
  const long long year = Position(text, kYear);
  const long long month = Position(text, kMonth);
  const long long day = Position(text, kDay);
  const long long marker = static_cast<long long>(kYear.size());
  DateFields fields;
  fields.year = IntegerValue(Slice(text, 0, year));
  fields.month = IntegerValue(Slice(text, year + marker, month - (year + marker)));
  fields.day = day >= 0 ? IntegerValue(Slice(text, month + marker, day - (month + marker))) : 1;
  return fields;
}

std::string DateCellText(const DateFields& fields) {
  const int y = fields.year;
  const int m = fields.month;
  const int d = fields.day;
  if (y < 0 || y > 9999 || m < 0 || m > 99 || d < 0 || d > 99) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.4d/%.2d/%.2d", y, m, d);
    return buffer;
  }
  // Fast path: DateCellText (docs/fast_paths.md).
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

// Parse(text, TimeOfDay::Drop) for a date cell text. The usual "YYYY/MM/DD" of digits is read in
// place: Parse would give FromCalendar of its fields at midnight, except for month 0,
// which FromCalendar takes as December before but no text means.
// Fast path: RowDate (docs/fast_paths.md).
SerialDate RowDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '/' || text[7] != '/') {
    return Parse(text, TimeOfDay::Drop);
  }
  int fields[3] = {};  // year, month, day
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == 4 || i == 7) {
      continue;
    }
    if (text[i] < '0' || text[i] > '9') {
      return Parse(text, TimeOfDay::Drop);
    }
    int& field = fields[i < 4 ? 0 : i < 7 ? 1 : 2];
    field = field * 10 + (text[i] - '0');
  }
  return fields[1] == 0 ? SerialDate::Invalid() : FromCalendar(fields[0], fields[1], fields[2]);
}

bool IsLineEnd(char c) {
  return c == '\r' || c == '\n';
}

// Most cells are ASCII and short; they are read here without a search. CR and LF become
// spaces and commas go: with every byte a character of its own, that is what removing each
// comma match gives. False, adding nothing, for any other cell.
// Fast path: AddPlainCell (docs/fast_paths.md).
bool AddPlainCell(std::vector<std::string>& cells, const char* data) {
  char buffer[64];
  std::size_t length = 0;
  for (const char* p = data;; ++p) {
    const auto byte = static_cast<unsigned char>(*p);
    if (length == sizeof buffer) {
      return false;
    }
    // Digits, the point and the other bytes from '-' to DEL: one test for most bytes.
    if (byte > ',' && byte < 0x80) {
      buffer[length++] = *p;
    } else if (byte == '\0') {
      break;
    } else if (byte >= 0x80) {
      return false;
    } else if (byte != ',') {
      buffer[length++] = IsLineEnd(*p) ? ' ' : *p;
    }
  }
  cells.emplace_back(buffer, length);
  return true;
}

void AddCell(std::vector<std::string>& cells, const HtmlNode& node, bool headerPending) {
  if (headerPending) {
    return;
  }
  const char* data = node.data != nullptr ? static_cast<const char*>(node.data) : "";
  if (!cells.empty() && AddPlainCell(cells, data)) {
    return;
  }
  std::string_view text(data);
  if (cells.empty()) {
    if (const auto fields = PlainDateFields(text)) {
      cells.push_back(DateCellText(*fields));
      return;
    }
  }
  // Cells seldom hold a line end; only then is a copy needed.
  std::string spaced;
  if (std::any_of(text.begin(), text.end(), IsLineEnd)) {
    spaced.assign(text);
    std::replace_if(spaced.begin(), spaced.end(), IsLineEnd, ' ');
    text = spaced;
  }
  if (cells.empty()) {
    cells.push_back(DateCellText(GeneralDateFields(text)));
  } else {
    cells.push_back(RemoveAllMatches(text, ","));
  }
}

void AddDataRow(PageRows& page, const std::vector<std::string>& cells) {
  PageRow row;
  row.record.date = RowDate(cells[0]);
  row.dateText = cells[0];
  row.cellCount = cells.size();
  const std::size_t count = std::min(cells.size() - 1, kMaxValues);
  for (std::size_t k = 0; k < count; ++k) {
    row.record.values[k] = DecimalValue(cells[k + 1]);
  }
  page.rows.push_back(std::move(row));
}

void AddSplitEvent(PageRows& page, const std::vector<std::string>& cells) {
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
  event.date = RowDate(cells[0]);
  event.sharesBefore = NarrowToFloat(DecimalValue(Slice(note, before, arrow - before)));
  event.sharesAfter =
      NarrowToFloat(DecimalValue(Slice(note, after, static_cast<long long>(note.size()))));
  page.splits.push_back(event);
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

void EndRow(const DownloadJob& job, PageRows& page, std::vector<std::string>& cells,
            bool& headerPending) {
  if (headerPending) {
    headerPending = false;
    return;
  }
  if (cells.size() >= 3) {
    AddDataRow(page, cells);
  } else {
    if (cells.size() == 2) {
      AddSplitEvent(page, cells);
    }
    EchoNoteRow(job.errorStream, cells);
  }
  cells.clear();
}

}  // namespace

void ReadTableRows(const DownloadJob& job, PageRows& page, std::vector<std::string>& cells,
                   const HtmlNode* node, int depth, bool& headerPending) {
  if (node == nullptr) {
    return;
  }
  // Depth-first in document order; a node is finished (and a row ended) only after its last
  // child, as a recursive walk would do. `open` holds the entered, unfinished ancestors of
  // `current`, so its depth is `depth` plus their count.
  std::vector<const HtmlNode*> open;
  // A table is table, row, cell and text deep; more only with nested markup.
  open.reserve(8);
  const HtmlNode* current = node;
  for (;;) {
    if (current->code == kTextNodeCode) {
      AddCell(cells, *current, headerPending);
    }
    if (current->firstChild != nullptr) {
      open.push_back(current);
      current = current->firstChild;
      continue;
    }
    for (;;) {
      if (depth + static_cast<long long>(open.size()) == 1) {
        EndRow(job, page, cells, headerPending);
      }
      if (open.empty()) {
        return;  // `node` itself is finished; its siblings are not ours
      }
      if (current->nextSibling != nullptr) {
        current = current->nextSibling;
        break;
      }
      current = open.back();
      open.pop_back();
    }
  }
}

Result ReadTable(DownloadJob& job, const HtmlNode* table, const PageWindow* window) {
  PageRows page;
  std::vector<std::string> cells;
  bool headerPending = true;
  ReadTableRows(job, page, cells, table, 0, headerPending);
  return StorePageRows(job, page, window);
}

}  // namespace pelmo
