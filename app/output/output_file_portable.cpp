// The parts of app/output/output_file.h that are the same on every system: the lines, the backup
// name, and the reporting of a write.
#include "app/output/output_file.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/platform.h"

namespace pelmo {
namespace {

// Values below this many hundredths have at most ten significant digits.
constexpr double kPlainHundredthsLimit = 1e10;

// Appends the separator and the value rounded to hundredths, as "%.10g" prints it.
// Fast path: AppendValue (docs/fast_paths.md).
void AppendValue(std::string& line, char separator, double value) {
  const double hundredths = std::floor(value * 100.0 + 0.5);
  char text[64];
  if (!(std::fabs(hundredths) < kPlainHundredthsLimit)) {
    const int length = std::snprintf(text, sizeof text, "%c%.10g", separator, hundredths * 0.01);
    line.append(text, static_cast<std::size_t>(std::max(length, 0)));
    return;
  }
  // At most ten digits: "%.10g" of hundredths * 0.01 is the exact decimal, which needs no
  // rounding and no exponent, with trailing zeros and point dropped. Printing it from the
  // integer saves the floating-point formatter, the bulk of writing a file.
  const auto whole = static_cast<long long>(std::fabs(hundredths));
  char* end = text + sizeof text;
  char* at = end;
  const int cents = static_cast<int>(whole % 100);
  if (cents != 0) {
    if (cents % 10 != 0) {
      *--at = static_cast<char>('0' + cents % 10);
    }
    *--at = static_cast<char>('0' + cents / 10);
    *--at = '.';
  }
  long long units = whole / 100;
  do {
    *--at = static_cast<char>('0' + units % 10);
    units /= 10;
  } while (units != 0);
  if (hundredths < 0) {
    *--at = '-';
  }
  *--at = separator;
  line.append(at, static_cast<std::size_t>(end - at));
}

// The date as Format(date, "%Y/%m/%d") writes it. A file has a line per row, and the
// general formatter's pattern walk, its broken-down time and its strings cost more than the
// rest of the line; dates it would not write as digits go to it.
// Fast path: AppendDate (docs/fast_paths.md).
void AppendDate(std::string& line, SerialDate date) {
  const auto time = date.status == DateStatus::Null ? std::nullopt : ToCalendar(date);
  if (!time) {
    line += Format(date, "%Y/%m/%d");
    return;
  }
  AppendZeroPadded(line, time->year, 1);
  line += '/';
  AppendZeroPadded(line, time->month, 2);
  line += '/';
  AppendZeroPadded(line, time->day, 2);
}

}  // namespace

std::string FormatRecordLine(const QuoteRecord& record, int columnCount, char separator) {
  std::string line;
  // A date and six values rarely pass 80 bytes: one allocation for the line.
  line.reserve(96);
  AppendDate(line, record.date);
  const int count = std::clamp(columnCount, 0, static_cast<int>(record.values.size()));
  for (int i = 0; i < count; ++i) {
    AppendValue(line, separator, record.values[i]);
  }
  line += "\r\n";
  return line;
}

std::string BackupPath(std::string_view outputPath) {
  const std::size_t slash = outputPath.find_last_of(FolderSeparators());
  const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const std::size_t dot = outputPath.rfind('.');
  const std::size_t stemEnd =
      dot == std::string_view::npos || dot < nameStart ? outputPath.size() : dot;
  return std::string(outputPath.substr(0, stemEnd)) + ".bak";
}

std::string FormatRecords(const DownloadJob& job) {
  const char separator = job.tabSeparated ? '\t' : ',';
  std::string text;
  for (const QuoteRecord& record : job.records.Records()) {
    text += FormatRecordLine(record, job.columnCount, separator);
  }
  return text;
}

bool WouldWriteTheSameBytes(const DownloadJob& job, const OutputTarget& target) {
  return target.kind() == OutputKind::RegularFile && job.storedBytes &&
         FormatRecords(job) == *job.storedBytes;
}

int WriteOutput(const DownloadJob& job, const OutputTarget& target, std::FILE* messages) {
  // The same bytes again would only cost the file its time and the backup its older copy;
  // whether another program changed the file meanwhile still decides the outcome.
  const Result result =
      WouldWriteTheSameBytes(job, target) ? target.CheckUnchanged() : WriteOutputFile(job, target);
  ReportFailure(messages, result);
  return ExitCode(result);
}

}  // namespace pelmo
