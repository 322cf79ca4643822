#include "app/records/quote_record.h"

#include <algorithm>
#include <cmath>

namespace pelmo {
namespace {

// Below this many removed records compaction is not worth a pass.
constexpr std::size_t kCompactionFloor = 1024;

// Dates that sort by value: valid and finite. The rest keep their order at the end.
bool Orderable(SerialDate date) {
  return date.IsValid() && std::isfinite(date.value);
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
    removed_[position] = true;
    ++removedCount_;
    chain->first = nextSameDate_[position];
    if (chain->first == kNone) {
      chain->last = kNone;
    }
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
  const auto found = byValue_.find(date.value + 0.0);
  return found == byValue_.end() ? nullptr : &found->second;
}

void QuoteSeries::Index(std::size_t position) {
  nextSameDate_.resize(records_.size(), kNone);
  const SerialDate date = records_[position].date;
  Chain* chain = nullptr;
  if (date.status == DateStatus::Null) {
    chain = &nullDates_;
  } else if (date.IsValid() && !std::isnan(date.value)) {
    // Adding 0.0 turns -0.0 into 0.0, which Equals treats as the same value.
    chain = &byValue_[date.value + 0.0];
  }
  if (chain == nullptr) {
    return;
  }
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
  records_.resize(kept);
  removed_.assign(kept, false);
  removedCount_ = 0;
  indexStale_ = true;
}

}  // namespace pelmo
