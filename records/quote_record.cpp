#include "records/quote_record.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <new>
#include <stdexcept>

namespace pelmo {
namespace {

// Below this many removed records compaction is not worth a pass.
constexpr std::size_t kCompactionFloor = 1024;

// Dates that sort by value: valid and finite. The rest keep their order at the end.
bool Orderable(SerialDate date) {
  return date.IsValid() && std::isfinite(date.value);
}

// The bits of a date value that is not NaN. Adding 0.0 turns -0.0 into 0.0, which Equals
// treats as the same value; other values are equal exactly when their bits are.
std::uint64_t KeyOf(double value) {
  return std::bit_cast<std::uint64_t>(value + 0.0);
}

bool SortsBefore(const QuoteRecord& a, const QuoteRecord& b) {
  const bool aOrderable = Orderable(a.date);
  const bool bOrderable = Orderable(b.date);
  if (aOrderable != bOrderable) {
    return aOrderable;
  }
  return aOrderable && IsBefore(a.date, b.date);
}

}  // namespace

void QuoteSeries::Reserve(std::size_t count) {
  try {
    records_.reserve(count);
    removed_.reserve(count);
    nextSameDate_.reserve(count);
  } catch (const std::bad_alloc&) {
    // The records grow as they come instead.
  } catch (const std::length_error&) {
    // Likewise: more than a vector can hold.
  }
}

void QuoteSeries::Append(const QuoteRecord& record) {
  Resync();
  records_.push_back(record);
  removed_.push_back(false);
  if (!indexStale_) {
    Link(ChainOf(record.date), records_.size() - 1);
  }
}

// Fast path: QuoteSeries::ReplaceByDate (docs/fast_paths.md).
void QuoteSeries::ReplaceByDate(const QuoteRecord& record) {
  Resync();
  if (indexStale_) {
    RebuildIndex();
  }
  // One lookup finds the stored record and files the new one.
  Chain* chain = ChainOf(record.date);
  if (chain != nullptr && chain->first != kNone) {
    const std::size_t position = chain->first;
    // A chain holds live records of the date it is filed under, first to last.
    assert(!removed_[position] && Equals(records_[position].date, record.date));
    removed_[position] = true;
    ++removedCount_;
    chain->first = nextSameDate_[position];
    if (chain->first == kNone) {
      chain->last = kNone;
    }
    assert(chain->first == kNone || chain->first > position);
  }
  records_.push_back(record);
  removed_.push_back(false);
  Link(chain, records_.size() - 1);
  if (removedCount_ > kCompactionFloor && removedCount_ * 2 > records_.size()) {
    Compact();
    RebuildIndex();
  }
}

void QuoteSeries::SortByDate() {
  Compact();
  // Positions change, so the index goes; freed before the sort takes its own buffer, it
  // lowers the run's peak memory.
  DropIndex();
  std::stable_sort(records_.begin(), records_.end(), SortsBefore);
}

std::size_t QuoteSeries::size() const {
  assert(removedCount_ <= records_.size());
  return records_.size() - removedCount_;
}

const std::vector<QuoteRecord>& QuoteSeries::Records() const {
  Compact();
  return records_;
}

std::vector<QuoteRecord>& QuoteSeries::MutableRecords() {
  Compact();
  indexStale_ = true;
  return records_;
}

void QuoteSeries::Resync() {
  // Sizes differ only after MutableRecords(), which left no removed records behind.
  if (removed_.size() != records_.size()) {
    removed_.assign(records_.size(), false);
    indexStale_ = true;
  }
}

QuoteSeries::Chain* QuoteSeries::ChainOf(SerialDate date) {
  if (date.status == DateStatus::Null) {
    return &nullDates_;
  }
  if (!date.IsValid() || std::isnan(date.value)) {
    return nullptr;
  }
  return &Insert(KeyOf(date.value));
}

QuoteSeries::Slot& QuoteSeries::Probe(std::uint64_t key) {
  // The size is a power of two; the multiply spreads the high bits, where whole day
  // numbers differ, over the index.
  const std::size_t mask = byValue_.size() - 1;
  std::size_t i = static_cast<std::size_t>(((key ^ (key >> 32)) * 0x9E3779B97F4A7C15ULL) >> 20);
  for (;; ++i) {
    Slot& slot = byValue_[i & mask];
    if (slot.key == key || slot.key == kEmptyKey) {
      return slot;
    }
  }
}

QuoteSeries::Chain& QuoteSeries::Insert(std::uint64_t key) {
  assert(key != kEmptyKey);
  if ((valueCount_ + 1) * 2 > byValue_.size()) {
    std::vector<Slot> old(std::max<std::size_t>(byValue_.size() * 2, 64), Slot{kEmptyKey, {}});
    old.swap(byValue_);
    for (const Slot& slot : old) {
      if (slot.key != kEmptyKey) {
        Probe(slot.key) = slot;
      }
    }
  }
  // At most half full, so the probe always ends at an empty slot or the key.
  assert(valueCount_ * 2 < byValue_.size() && std::has_single_bit(byValue_.size()));
  Slot& slot = Probe(key);
  if (slot.key == kEmptyKey) {
    slot.key = key;
    ++valueCount_;
  }
  return slot.chain;
}

void QuoteSeries::Link(Chain* chain, std::size_t position) {
  assert(!removed_[position]);
  nextSameDate_.resize(records_.size(), kNone);
  if (chain == nullptr) {
    return;
  }
  // Positions join their chain in ascending order, so a chain runs first to last.
  assert((chain->first == kNone) == (chain->last == kNone));
  assert(chain->last == kNone || chain->last < position);
  if (chain->last == kNone) {
    chain->first = position;
  } else {
    nextSameDate_[chain->last] = position;
  }
  chain->last = position;
}

void QuoteSeries::DropIndex() {
  std::vector<Slot>().swap(byValue_);
  std::vector<std::size_t>().swap(nextSameDate_);
  valueCount_ = 0;
  nullDates_ = Chain{};
  indexStale_ = true;
}

void QuoteSeries::RebuildIndex() {
  std::fill(byValue_.begin(), byValue_.end(), Slot{kEmptyKey, {}});
  valueCount_ = 0;
  nullDates_ = Chain{};
  nextSameDate_.assign(records_.size(), kNone);
  for (std::size_t i = 0; i < records_.size(); ++i) {
    if (!removed_[i]) {
      Link(ChainOf(records_[i].date), i);
    }
  }
  indexStale_ = false;
}

void QuoteSeries::Compact() const {
  if (removedCount_ == 0) {
    return;
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < records_.size(); ++i) {
    if (!removed_[i]) {
      records_[kept++] = records_[i];
    }
  }
  assert(kept + removedCount_ == records_.size());
  records_.resize(kept);
  removed_.assign(kept, false);
  removedCount_ = 0;
  indexStale_ = true;
}

}  // namespace pelmo
