// The rows of one run: table records, the series that holds them, and split notes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dates/serial_date.h"

namespace pelmo {

// Where a record was read: the split rescaling of -a treats the rows of the existing file
// apart, as an earlier run may have rescaled them already.
enum class RecordSource : std::uint8_t { Page, ExistingFile };

// One row of a price or margin table: a date and six values in page column order
// (prices: open, high, low, close, volume, the service's adjusted close). Values that
// no cell filled are 0; the job's columnCount says how many are meaningful. Values are
// doubles so that the decimal text of a cell or a stored line, volumes of hundreds of
// millions included, is written back as it was read.
struct QuoteRecord {
  SerialDate date;
  std::array<double, 6> values{};
  RecordSource source = RecordSource::Page;
};

// A stock split noted in a price table. The share counts are 32-bit floats: the rescaling
// arithmetic of -a is defined on them.
struct SplitEvent {
  SerialDate date;
  float sharesBefore = 0.0f;
  float sharesAfter = 0.0f;
};

// The run's records in insertion order until sorted.
//
// ReplaceByDate removes the first record whose date Equals the new record's date and
// appends the new one; it does not scan all records, so merging many pages stays linear.
// Removed records are only marked at first and dropped in one pass later; Records() and
// MutableRecords() drop them, so read the records after a merge rather than during it.
class QuoteSeries {
 public:
  // Makes room for `count` records in all, so that a run that knows about how many rows
  // are coming spares the records their step-by-step growth (each step copies them all
  // and briefly holds two copies). Only a hint: without the memory nothing changes.
  void Reserve(std::size_t count);
  void Append(const QuoteRecord& record);
  void ReplaceByDate(const QuoteRecord& record);
  // Valid dates in IsBefore order; invalid and null dates after them, in their original
  // relative order. Stable.
  void SortByDate();

  std::size_t size() const;
  bool empty() const { return size() == 0; }
  // Live records in their current order. Valid until the next change.
  const std::vector<QuoteRecord>& Records() const;
  // As Records(); the caller may change records, dates included.
  std::vector<QuoteRecord>& MutableRecords();

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  // The live records of one date, linked first to last through nextSameDate_.
  struct Chain {
    std::size_t first = kNone;
    std::size_t last = kNone;
  };

  // After MutableRecords() the caller may have added or dropped records.
  void Resync();
  // One date value of the index: the bits of the value with -0 folded into 0, or kEmptyKey.
  struct Slot {
    std::uint64_t key;
    Chain chain;
  };
  // A NaN pattern: NaN values are never kept, so no date value has these bits.
  static constexpr std::uint64_t kEmptyKey = 0x7FF8DEADBEEF0001ULL;

  // The chain that records of `date` are filed under, made if need be; null for dates that
  // equal nothing (invalid, NaN).
  Chain* ChainOf(SerialDate date);
  // Files the record at `position`, the last one, at the end of `chain`.
  void Link(Chain* chain, std::size_t position);
  // The slot of `key`, or the empty slot where it would go.
  Slot& Probe(std::uint64_t key);
  Chain& Insert(std::uint64_t key);
  void RebuildIndex();
  // Frees the index; the next change by date rebuilds it.
  void DropIndex();
  // Drops removed records; positions move, so the index must be rebuilt.
  void Compact() const;

  // Records() is const but drops removed records in place, hence mutable.
  mutable std::vector<QuoteRecord> records_;
  mutable std::vector<bool> removed_;  // parallel to records_
  mutable std::size_t removedCount_ = 0;
  mutable bool indexStale_ = false;
  std::vector<std::size_t> nextSameDate_;  // parallel to records_ while the index is fresh
  // Valid dates by value (-0 folded into 0); a NaN value equals nothing and is not kept.
  // Open addressing with linear probing, at most half full: no allocation per date, which a
  // std::unordered_map would make (it measured 6 % slower on the page step).
  std::vector<Slot> byValue_;
  std::size_t valueCount_ = 0;
  Chain nullDates_;
};

}  // namespace pelmo
