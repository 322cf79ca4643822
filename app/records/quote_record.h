// The rows of one run: table records, the series that holds them, and split notes.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "app/dates/serial_date.h"

namespace pelmo {

// One row of a price or margin table: a date and six values in page column order
// (prices: open, high, low, close, volume, the service's adjusted close). Values that
// no cell filled are 0; the job's columnCount says how many are meaningful.
struct QuoteRecord {
  SerialDate date;
  std::array<float, 6> values{};
};

// A stock split noted in a price table.
struct SplitEvent {
  SerialDate date;
  float sharesBefore = 0.0f;
  float sharesAfter = 0.0f;
};

// The run's records in insertion order until sorted.
//
// ReplaceByDate removes the first record whose date Equals the new record's date and
// appends the new one; it does not scan all records, so merging many pages stays linear.
class QuoteSeries {
 public:
  void Append(const QuoteRecord& record);
  void ReplaceByDate(const QuoteRecord& record);
  // Valid dates in IsBefore order; invalid and null dates after them, in their original
  // relative order. Stable.
  void SortByDate();

  std::size_t size() const;
  bool empty() const { return size() == 0; }
  // Live records in their current order. Valid until the next change.
  const std::vector<QuoteRecord>& Records() const;
  std::vector<QuoteRecord>& MutableRecords();

 private:
  // Fields are the implementer's choice (the records plus an index from date value to
  // the first live record of that date).
  std::vector<QuoteRecord> records_;
};

}  // namespace pelmo
