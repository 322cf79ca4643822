#include "app/console/terminal_report.h"

namespace pelmo {
namespace {

std::string Rows(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " row" : " rows");
}

std::string DateText(SerialDate date) {
  return Format(date, "%Y/%m/%d");
}

// Why a run downloaded nothing.
std::string NoRows(const RunSummary& summary) {
  const std::string range = DateText(summary.rangeFirst) + " to " + DateText(summary.rangeLast);
  if (summary.windowsFailed == 0) {
    return "the pages held no rows for this code from " + range;
  }
  if (summary.windowsFailed >= summary.windowCount) {
    return summary.windowCount == 1
               ? "the window could not be fetched"
               : "none of the " + std::to_string(summary.windowCount) + " windows could be fetched";
  }
  return std::to_string(summary.windowsFailed) + " of " + std::to_string(summary.windowCount) +
         " windows could not be fetched, and the others held no rows for this code from " + range;
}

std::string Downloaded(const RunSummary& summary) {
  std::string text = Rows(summary.rowsDownloaded) + " downloaded";
  if (summary.rowsDownloaded == 0) {
    text += ": " + NoRows(summary);
  } else if (summary.windowsFailed > 0) {
    text += " (" + std::to_string(summary.windowsFailed) + " of " +
            std::to_string(summary.windowCount) + " windows could not be fetched)";
  }
  return text;
}

std::string FileState(const RunSummary& summary) {
  if (!summary.written) {
    return summary.outputPath + " was not written" +
           (summary.hadEarlierFile ? "; the earlier file is left as it was" : "");
  }
  std::string text = summary.outputPath + " holds " + Rows(summary.rowsInFile);
  if (summary.firstDate && summary.lastDate) {
    text += ", " + DateText(*summary.firstDate) + " to " + DateText(*summary.lastDate);
  }
  if (!summary.hadEarlierFile) {
    text += "; no backup: there was no earlier file";
  } else if (summary.backupPath.empty()) {
    text += "; no backup was kept";
  } else {
    text += "; the earlier file is kept as " + summary.backupPath;
  }
  return text;
}

}  // namespace

std::string StatusText(std::string_view code, const DateWindow& window, std::size_t place,
                       std::size_t windowCount, std::size_t rows) {
  return std::string(code) + " " + DateText(window.first) + "-" + DateText(window.last) + " " +
         std::to_string(place) + "/" + std::to_string(windowCount) + " " + Rows(rows);
}

std::string SummaryLine(const RunSummary& summary) {
  return "pelmo: " + summary.code + ": " + Downloaded(summary) + "; " + FileState(summary);
}

}  // namespace pelmo
