// Rescaling of older prices for the stock splits that the price pages announce.
#pragma once

#include <vector>

#include "records/quote_record.h"

namespace pelmo {

// The latest valid date among the records read from the existing file, or a null date when
// there is none. Taken before the first page is read: a page row that replaces a stored row
// must not hide how far the file reached.
SerialDate LatestStoredDate(const std::vector<QuoteRecord>& records);

// Applies the split events from the last to the first, one pass over `records` (sorted by
// date) each.
//
// A page record takes part in every pass: its sixth value first takes its fourth (the close
// as it stands before the pass); then, when it is dated before the split, its four prices
// are multiplied by before/after and its volume by after/before, each floored to a
// hundredth in the arithmetic of 32-bit floats (the value narrowed to float, the product in
// extended precision, floored, times the float 0.01, stored as a float).
//
// A record of the existing file takes part only when it is dated before the split and
// `storedThrough` (LatestStoredDate) is not on or after the split day: a file that reaches
// past a split was written by a run that had the split's prices already, and rescaling its
// older rows again would compound. Any other stored record keeps all six values.
//
// An event whose share counts are not both finite and above 0 rescales nothing, though its
// pass still copies the sixth value of the page records.
void AdjustForSplits(std::vector<QuoteRecord>& records, const std::vector<SplitEvent>& splitEvents,
                     SerialDate storedThrough);

}  // namespace pelmo
