// The texts a person sees on the terminal about a run: the status line while the windows
// are fetched, and the one line that sums the run up.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "app/download/date_windows.h"
#include "dates/serial_date.h"

namespace pelmo {

// "7203.t 2003/11/12-2004/01/01 2/4 120 rows": the code, the window being fetched, its
// place among the windows counted from 1, and the rows downloaded so far.
std::string StatusText(std::string_view code, const DateWindow& window, std::size_t place,
                       std::size_t windowCount, std::size_t rows);

// What the closing line is made of.
struct RunSummary {
  std::string code;
  std::size_t rowsDownloaded = 0;
  std::size_t windowsFailed = 0;
  std::size_t windowCount = 0;
  SerialDate rangeFirst;  // the range asked for, named when no row was downloaded
  SerialDate rangeLast;
  bool written = false;                 // the output file was written
  std::size_t rowsInFile = 0;           // rows of the file written
  std::optional<SerialDate> firstDate;  // earliest and latest valid date of the file
  std::optional<SerialDate> lastDate;
  std::string outputPath;
  bool hadEarlierFile = false;  // a file stood at the output path before the run
  std::string backupPath;       // where the earlier file is kept, when it is
};

// One line, without a line end, for example
// "pelmo: 7203.t: 120 rows downloaded; 7203.csv holds 6012 rows, 2000/01/04 to 2004/03/31;
// the earlier file is kept as 7203.bak". A run that downloaded no row says why: "0 rows
// downloaded: none of the 3 windows could be fetched", or "... the pages held no rows for
// this code from 2007/01/01 to 2007/03/12".
std::string SummaryLine(const RunSummary& summary);

}  // namespace pelmo
