// Rescaling of older prices for the stock splits that the price pages announce.
#pragma once

#include <vector>

#include "app/records/quote_record.h"

namespace pelmo {

// Applies the split events from the last to the first and empties `splitEvents`. Each event
// makes one pass over `records` (sorted by date) in which every record's sixth value first
// takes its fourth (the close as it stands before the pass), and every record dated before
// the split then has its four prices multiplied by before/after and its volume by
// after/before, each floored to a hundredth. Records on or after the split day keep their
// values apart from the sixth. An event whose share counts are not both finite and above 0
// rescales nothing, though its pass still copies the sixth value.
void AdjustForSplits(std::vector<QuoteRecord>& records, std::vector<SplitEvent>& splitEvents);

}  // namespace pelmo
