#include "quote/page_rows.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <map>
#include <optional>

namespace pelmo {
namespace {

// How far past its window a row may be dated: a weekly or monthly row is dated at the
// start of a week or month that the window may cut.
constexpr double kWindowSlackDays = 31;

enum Column { kOpen, kHigh, kLow, kClose, kVolume };

// A value as the output file writes it: hundredths, "%.10g".
std::string ValueText(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.10g", std::floor(value * 100.0 + 0.5) * 0.01);
  return text;
}

// The cell counts that most rows have: one, or several on a tie.
std::vector<std::size_t> CommonCellCounts(const std::vector<PageRow>& rows) {
  std::map<std::size_t, std::size_t> frequency;
  std::size_t most = 0;
  for (const PageRow& row : rows) {
    most = std::max(most, ++frequency[row.cellCount]);
  }
  std::vector<std::size_t> counts;
  for (const auto& [count, rowsWithIt] : frequency) {
    if (rowsWithIt == most) {
      counts.push_back(count);
    }
  }
  return counts;
}

std::string CellCountProblem(const PageRow& row, const std::vector<std::size_t>& common) {
  if (common.size() == 1 && row.cellCount == common.front()) {
    return {};
  }
  // On a tie the other tied count is named; else the common one.
  std::size_t other = common.front();
  for (const std::size_t count : common) {
    if (count != row.cellCount) {
      other = count;
      break;
    }
  }
  return "row " + row.dateText + " has " + std::to_string(row.cellCount) + " cells, the others " +
         std::to_string(other);
}

std::string PriceProblem(const PageRow& row) {
  const auto& v = row.record.values;
  const auto above = [&](Column a, Column b) -> std::string {
    if (v[a] != 0 && v[b] != 0 && v[a] > v[b]) {
      static constexpr const char* kNames[] = {"open", "high", "low", "close"};
      return "row " + row.dateText + ": " + kNames[a] + " " + ValueText(v[a]) + " above " +
             kNames[b] + " " + ValueText(v[b]);
    }
    return {};
  };
  const auto below = [&](Column a, Column b) -> std::string {
    if (v[a] != 0 && v[b] != 0 && v[a] < v[b]) {
      static constexpr const char* kNames[] = {"open", "high", "low", "close"};
      return "row " + row.dateText + ": " + kNames[a] + " " + ValueText(v[a]) + " below " +
             kNames[b] + " " + ValueText(v[b]);
    }
    return {};
  };
  for (std::string problem : {above(kLow, kHigh), above(kOpen, kHigh), below(kOpen, kLow),
                              above(kClose, kHigh), below(kClose, kLow)}) {
    if (!problem.empty()) {
      return problem;
    }
  }
  if (v[kVolume] < 0) {
    return "row " + row.dateText + ": volume " + ValueText(v[kVolume]) + " is negative";
  }
  return {};
}

bool OutsideWindow(const PageRow& row, const PageWindow& window) {
  // Without both ends there is nothing to measure from.
  if (!window.first.IsValid() || !window.last.IsValid()) {
    return false;
  }
  const SerialDate date = row.record.date;
  return IsBefore(date, SubtractDays(window.first, kWindowSlackDays)) ||
         IsBefore(AddDays(window.last, kWindowSlackDays), date);
}

// Why `row` is not stored; empty when it is.
std::string RowProblem(const DownloadJob& job, const PageRow& row,
                       const std::vector<std::size_t>& commonCounts, const PageWindow* window) {
  if (std::string problem = CellCountProblem(row, commonCounts); !problem.empty()) {
    return problem;
  }
  for (const double value : row.record.values) {
    // Written in hundredths, such a value would come out as no number at all.
    if (!std::isfinite(value * 100.0)) {
      char text[32];
      std::snprintf(text, sizeof text, "%.10g", value);
      return "row " + row.dateText + ": value " + text + " is out of range";
    }
  }
  const auto values = static_cast<int>(row.cellCount - 1);
  if (job.storedValueCount && *job.storedValueCount != values) {
    return "rows have " + std::to_string(values) + " values, " + job.outputPath + " has " +
           std::to_string(*job.storedValueCount);
  }
  if (window != nullptr && OutsideWindow(row, *window)) {
    return "row " + row.dateText + " is outside the window";
  }
  return job.margin ? std::string() : PriceProblem(row);
}

}  // namespace

Result StorePageRows(DownloadJob& job, const PageRows& page, const PageWindow* window) {
  // A row without a date cannot be merged by date: stored, it would come back as a new row
  // on every run. It is dropped before the checks, and has no say in them.
  std::vector<PageRow> dated;
  std::copy_if(page.rows.begin(), page.rows.end(), std::back_inserter(dated),
               [](const PageRow& row) { return row.record.date.IsValid(); });
  const std::vector<std::size_t> commonCounts = CommonCellCounts(dated);
  std::size_t refused = 0;
  std::string firstProblem;
  for (const PageRow& row : dated) {
    if (std::string problem = RowProblem(job, row, commonCounts, window); !problem.empty()) {
      if (refused++ == 0) {
        firstProblem = std::move(problem);
      }
      continue;
    }
    const std::size_t values = std::min(row.cellCount - 1, row.record.values.size());
    job.columnCount = std::max(job.columnCount, static_cast<int>(values));
    job.records.ReplaceByDate(row.record);
    ++job.pageRowsStored;
  }
  if (dated.empty() || refused < dated.size()) {
    for (const SplitEvent& split : page.splits) {
      job.splitEvents.Add(split);
    }
  }
  if (refused == 0) {
    return {};
  }
  return Failure(Reason::NotUnderstood,
                 std::to_string(refused) + " rows not stored: " + firstProblem);
}

}  // namespace pelmo
