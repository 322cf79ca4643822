#include "app/records/quote_record.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>

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

void QuoteSeries::Append(const QuoteRecord& record) {
  Resync();
  records_.push_back(record);
  removed_.push_back(false);
  if (!indexStale_) {
    Index(records_.size() - 1);
  }
}

void QuoteSeries::ReplaceByDate(const QuoteRecord& record) {
  Resync();
  if (indexStale_) {
    RebuildIndex();
  }
  if (Chain* chain = FindChain(record.date); chain != nullptr && chain->first != kNone) {
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
  Append(record);
  if (removedCount_ > kCompactionFloor && removedCount_ * 2 > records_.size()) {
    Compact();
    RebuildIndex();
  }
}

void QuoteSeries::SortByDate() {
  Compact();
  std::stable_sort(records_.begin(), records_.end(), SortsBefore);
  indexStale_ = true;
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

QuoteSeries::Chain* QuoteSeries::FindChain(SerialDate date) {
  if (date.status == DateStatus::Null) {
    return &nullDates_;
  }
  if (!date.IsValid() || std::isnan(date.value)) {
    return nullptr;
  }
  const auto found = byValue_.find(KeyOf(date.value));
  return found == byValue_.end() ? nullptr : &found->second;
}

void QuoteSeries::Index(std::size_t position) {
  assert(!removed_[position]);
  nextSameDate_.resize(records_.size(), kNone);
  const SerialDate date = records_[position].date;
  Chain* chain = nullptr;
  if (date.status == DateStatus::Null) {
    chain = &nullDates_;
  } else if (date.IsValid() && !std::isnan(date.value)) {
    chain = &byValue_[KeyOf(date.value)];
  }
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

void QuoteSeries::RebuildIndex() {
  byValue_.clear();
  nullDates_ = Chain{};
  nextSameDate_.assign(records_.size(), kNone);
  for (std::size_t i = 0; i < records_.size(); ++i) {
    if (!removed_[i]) {
      Index(i);
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
