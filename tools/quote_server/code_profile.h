// What the server knows about a security code before it computes any row: whether the
// code has data, its seed, its name and its stock splits.
//
// Seeding rule: the code's base is its text up to the first '.', so "7203.t" and "7203"
// name the same security; the seed is the 64-bit FNV-1a hash of the base's bytes. A base
// that begins with '0' has no data. A base of digits whose number is divisible by 7 has
// two stock splits: 1 share to 2, and some years later 1 share to 1.5.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/quote_server/trading_calendar.h"

namespace pelmo::quote_server {

struct StockSplit {
  Day date;  // the first trading day on the new share count
  double sharesBefore = 1.0;
  double sharesAfter = 1.0;
};

struct CodeProfile {
  std::string code;  // as requested, e.g. "7203.t"
  std::string base;  // up to the first '.', e.g. "7203"
  std::uint64_t seed = 0;
  bool hasData = false;
  std::string name;                // UTF-8, with half-width katakana
  std::vector<StockSplit> splits;  // oldest first
  double startPrice = 0.0;         // yen, in today's shares
  double dailyVolume = 0.0;        // shares, in today's shares
};

// True for 1 to 16 characters of ASCII letters, digits, '.', '-' and '^' that begin with
// neither '.' nor '-': what the server accepts as a code.
bool IsValidCode(std::string_view code);

// The profile of a valid code.
CodeProfile ProfileOf(std::string_view code);

// "分割: 1株 -> 2株" (UTF-8): the note that announces a split.
std::string SplitNote(const StockSplit& split);

}  // namespace pelmo::quote_server
