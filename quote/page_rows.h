// The data rows of one page, checked together before any of them is stored.
//
// A page whose layout changed (a column inserted, a cell left empty, high and low
// swapped, rows of another time) would otherwise merge wrong numbers into a good history
// without a word. A row is not stored when it:
// - has another number of cells than most of the page's data rows (on a tie between
//   counts, every row of the tied counts is refused);
// - has another number of values than the rows of the existing file, when it has rows;
// - is dated more than 31 days outside the window the page was asked for;
// - on a price page: among open, high, low and close, those that are not 0 break
//   low <= open, close <= high, or the volume is negative (a day shown with dashes reads
//   as zeros and passes).
// The page's other rows are stored. A page on which no row is stored stores no split
// note either.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/result.h"
#include "dates/serial_date.h"
#include "records/download_job.h"

namespace pelmo {

// A data row as read from the page, not yet stored.
struct PageRow {
  QuoteRecord record;         // the first six values
  std::string dateText;       // the date cell, "YYYY/MM/DD"
  std::size_t cellCount = 0;  // the date cell included
};

struct PageRows {
  std::vector<PageRow> rows;  // in page order
  std::vector<SplitEvent> splits;
};

// The days asked for. A page's rows may run somewhat past them (a week or month that the
// window cuts), but not by more than a month.
struct PageWindow {
  SerialDate first;
  SerialDate last;
};

// Stores the rows of `page` that pass the checks above (replacing stored rows of their
// dates, raising columnCount), and its split notes unless every data row was refused.
// Rows without a valid date are dropped first and take no part in the checks. Without `window`, no
// row is refused for its date. Ok when every row was stored; otherwise a NotUnderstood result, "N
// rows not stored: REASON", where REASON tells the first refused row in page order and what is
// wrong with it (see the tests for every wording).
Result StorePageRows(DownloadJob& job, const PageRows& page, const PageWindow* window);

}  // namespace pelmo
