#include "app/split_adjust.h"

#include <cmath>

#include "quote/cell_number.h"

namespace pelmo {
namespace {

// The value is narrowed to a float, the product formed in extended precision, floored in
// double precision and scaled by the float constant 0.01f, so that a value such as 1001
// halved lands on 500.5 and earlier output files are reproduced exactly.
float ScaleFloored(float ratio, double value) {
  const long double product = static_cast<long double>(ratio) *
                              static_cast<long double>(NarrowToFloat(value)) * 100.0L;
  return NarrowToFloat(std::floor(static_cast<double>(product)) * 0.01f);
}

bool UsableShareCount(float shares) {
  return std::isfinite(shares) && shares > 0.0f;
}

void ApplySplit(std::vector<QuoteRecord>& records, const SplitEvent& split) {
  const bool usable = UsableShareCount(split.sharesBefore) && UsableShareCount(split.sharesAfter);
  const float priceRatio = split.sharesBefore / split.sharesAfter;
  const float volumeRatio = split.sharesAfter / split.sharesBefore;
  for (QuoteRecord& record : records) {
    record.values[5] = record.values[3];
    if (!usable || !IsBefore(record.date, split.date)) {
      continue;
    }
    for (int i = 0; i < 4; ++i) {
      record.values[i] = ScaleFloored(priceRatio, record.values[i]);
    }
    record.values[4] = ScaleFloored(volumeRatio, record.values[4]);
  }
}

}  // namespace

void AdjustForSplits(std::vector<QuoteRecord>& records, std::vector<SplitEvent>& splitEvents) {
  while (!splitEvents.empty()) {
    ApplySplit(records, splitEvents.back());
    splitEvents.pop_back();
  }
}

}  // namespace pelmo
