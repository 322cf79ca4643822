// The settings and results of one run. The entry point owns the one job and passes it by
// reference to every later step; everything a run produces lands here.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "dates/serial_date.h"
#include "records/quote_record.h"
#include "records/split_event_list.h"

namespace pelmo {

struct DownloadJob {
  CalendarTime start;  // first day of the range
  CalendarTime end;    // last day of the range
  Period period = Period::Daily;
  std::string outputPath;  // empty: derived from the code
  bool tabSeparated = false;
  bool adjust = false;
  bool margin = false;
  std::string code;                     // as sent to the quote service
  std::string host = "127.0.0.1:8730";  // quote service: [scheme://]host[:port][/prefix]
  int columnCount = 0;                  // value columns of the table
  QuoteSeries records;
  SplitEventList splitEvents;
  std::FILE* errorStream = nullptr;  // note rows are echoed here; null writes nothing
  // The file an earlier run left at the output path, as read: a result that would write
  // the same bytes leaves it alone. Null when there was none.
  std::optional<std::string> storedBytes;
  // The most values on a row of that file; null when it has no row. Page rows of another
  // count would put values of one kind into columns of another.
  std::optional<int> storedValueCount;
  // Page rows stored by this run, counted for the person watching.
  std::size_t pageRowsStored = 0;
};

}  // namespace pelmo
