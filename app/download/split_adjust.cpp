#include "app/download/split_adjust.h"

#include <cmath>

#include "quote/cell_number.h"

namespace pelmo {
namespace {

// The value is narrowed to a float, the product formed in extended precision, floored in
// double precision and scaled by the float constant 0.01f, so that a value such as 1001
// halved lands on 500.5 and earlier output files are reproduced exactly.
float ScaleFloored(float ratio, double value) {
  const long double product =
      static_cast<long double>(ratio) * static_cast<long double>(NarrowToFloat(value)) * 100.0L;
  return NarrowToFloat(std::floor(static_cast<double>(product)) * 0.01f);
}

bool UsableShareCount(float shares) {
  return std::isfinite(shares) && shares > 0.0f;
}

void ApplySplit(std::vector<QuoteRecord>& records, const SplitEvent& split,
                SerialDate storedThrough) {
  const bool usable = UsableShareCount(split.sharesBefore) && UsableShareCount(split.sharesAfter);
  const float priceRatio = split.sharesBefore / split.sharesAfter;
  const float volumeRatio = split.sharesAfter / split.sharesBefore;
  const bool fileHasSplit = storedThrough.IsValid() && !IsBefore(storedThrough, split.date);
  for (QuoteRecord& record : records) {
    const bool before = IsBefore(record.date, split.date);
    if (record.source == RecordSource::ExistingFile && (fileHasSplit || !before || !usable)) {
      continue;
    }
    record.values[5] = record.values[3];
    if (!usable || !before) {
      continue;
    }
    for (int i = 0; i < 4; ++i) {
      record.values[i] = ScaleFloored(priceRatio, record.values[i]);
    }
    record.values[4] = ScaleFloored(volumeRatio, record.values[4]);
  }
}

}  // namespace

SerialDate LatestStoredDate(const std::vector<QuoteRecord>& records) {
  SerialDate latest = SerialDate::Null();
  for (const QuoteRecord& record : records) {
    if (record.source == RecordSource::ExistingFile && record.date.IsValid() &&
        (!latest.IsValid() || IsBefore(latest, record.date))) {
      latest = record.date;
    }
  }
  return latest;
}

void AdjustForSplits(std::vector<QuoteRecord>& records, const std::vector<SplitEvent>& splitEvents,
                     SerialDate storedThrough) {
  for (auto split = splitEvents.rbegin(); split != splitEvents.rend(); ++split) {
    ApplySplit(records, *split, storedThrough);
  }
}

}  // namespace pelmo
