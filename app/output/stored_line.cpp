#include "app/output/stored_line.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "base/ascii.h"
#include "dates/serial_date.h"

namespace pelmo {
namespace {

constexpr std::size_t kMaxValues = std::tuple_size_v<decltype(QuoteRecord::values)>;

bool IsSeparator(char c) {
  return c == ',' || c == '\t';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

struct Field {
  std::string text;
  bool quoted = false;
  // Bytes after the closing quote: the field is then neither a date nor a number.
  bool trailing = false;
};

// The field starting at `pos`; `pos` ends on its separator or at the end of the line.
Field TakeField(std::string_view line, std::size_t& pos) {
  Field field;
  if (pos < line.size() && line[pos] == '"') {
    field.quoted = true;
    ++pos;
    while (pos < line.size()) {
      if (line[pos] == '"') {
        if (pos + 1 < line.size() && line[pos + 1] == '"') {
          field.text += '"';
          pos += 2;
          continue;
        }
        ++pos;
        break;
      }
      field.text += line[pos++];
    }
  }
  const std::size_t begin = pos;
  while (pos < line.size() && !IsSeparator(line[pos])) {
    ++pos;
  }
  if (field.quoted) {
    field.trailing = pos > begin;
  } else {
    field.text.assign(line.substr(begin, pos - begin));
  }
  return field;
}

std::vector<Field> SplitFields(std::string_view line) {
  std::vector<Field> fields;
  std::size_t pos = 0;
  for (;;) {
    fields.push_back(TakeField(line, pos));
    if (pos >= line.size()) {
      break;
    }
    ++pos;  // the separator
  }
  while (fields.size() > 1 && fields.back().text.empty() && !fields.back().trailing) {
    fields.pop_back();
  }
  return fields;
}

// Integer digits at `pos`, grouped by commas in threes when `grouped` allows; the digits
// without the commas are appended to `digits`. False when a comma breaks the grouping.
bool TakeIntegerDigits(std::string_view text, std::size_t& pos, bool grouped, std::string& digits) {
  std::size_t run = 0;
  bool sawComma = false;
  for (; pos < text.size(); ++pos) {
    if (IsDigit(text[pos])) {
      digits += text[pos];
      ++run;
    } else if (grouped && text[pos] == ',') {
      // The first group holds one to three digits, every later one exactly three.
      if (run == 0 || run > 3 || (sawComma && run != 3)) {
        return false;
      }
      sawComma = true;
      run = 0;
    } else {
      break;
    }
  }
  return !sawComma || run == 3;
}

std::string_view TrimSpaces(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) {
    return {};
  }
  return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

}  // namespace

std::optional<double> ReadNumber(std::string_view field, bool grouped) {
  const std::string_view text = TrimSpaces(field);
  std::string plain;
  std::size_t pos = 0;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    plain += text[pos++];
  }
  const std::size_t before = plain.size();
  if (!TakeIntegerDigits(text, pos, grouped, plain)) {
    return std::nullopt;
  }
  bool digits = plain.size() > before;
  if (pos < text.size() && text[pos] == '.') {
    plain += text[pos++];
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
      plain += text[pos];
      digits = true;
    }
  }
  if (!digits) {
    return std::nullopt;
  }
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    plain += text[pos++];
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
      plain += text[pos++];
    }
    const std::size_t exponentStart = pos;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
      plain += text[pos];
    }
    if (pos == exponentStart) {
      return std::nullopt;
    }
  }
  if (pos != text.size()) {
    return std::nullopt;
  }
  const double value = std::strtod(plain.c_str(), nullptr);
  // The file holds values in hundredths: beyond that range a value could not be written
  // back as a number.
  if (!std::isfinite(value * 100.0)) {
    return std::nullopt;
  }
  return value;
}

std::optional<StoredRow> ParseRecordLine(std::string_view line) {
  const std::vector<Field> fields = SplitFields(line);
  if (fields.front().trailing) {
    return std::nullopt;
  }
  StoredRow row;
  row.record.date = Parse(fields.front().text, TimeOfDay::Drop);
  if (!row.record.date.IsValid()) {
    return std::nullopt;
  }
  row.record.source = RecordSource::ExistingFile;
  for (std::size_t i = 1; i < fields.size(); ++i) {
    const Field& field = fields[i];
    const std::optional<double> value =
        field.trailing ? std::nullopt : ReadNumber(field.text, field.quoted);
    if (!value) {
      return std::nullopt;
    }
    if (i - 1 < kMaxValues) {
      row.record.values[i - 1] = *value;
    }
  }
  row.valueCount = static_cast<int>(std::min(fields.size() - 1, kMaxValues));
  return row;
}

std::string LineExcerpt(std::string_view line, std::size_t most) {
  std::string excerpt(line.substr(0, most));
  ControlBytesToSpaces(excerpt);
  return excerpt;
}

}  // namespace pelmo
