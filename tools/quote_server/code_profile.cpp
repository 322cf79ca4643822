#include "tools/quote_server/code_profile.h"

#include <array>
#include <cctype>
#include <charconv>

#include "tools/quote_server/portable_math.h"

namespace pelmo::quote_server {

namespace {

constexpr std::array<std::string_view, 3> kNamePrefixes = {"ｻﾝﾌﾟﾙ", "ﾃｽﾄ", "ﾓﾃﾞﾙ"};
constexpr std::array<std::string_view, 8> kNameTrades = {"工業", "電機", "製作所", "商事",
                                                         "化学", "精機", "自動車", "建設"};

// Salts of the profile's draws; any distinct constants would do.
constexpr std::uint64_t kSaltName = 1;
constexpr std::uint64_t kSaltPrice = 2;
constexpr std::uint64_t kSaltVolume = 3;
constexpr std::uint64_t kSaltFirstSplit = 4;
constexpr std::uint64_t kSaltSecondSplit = 5;

Day FirstTradingDayFrom(Day day) {
  while (!IsTradingDay(day)) {
    day += std::chrono::days{1};
  }
  return day;
}

// A trading day in the given year, drawn from `bits`.
Day DrawDay(int year, std::uint64_t bits) {
  const int month = 1 + static_cast<int>((bits >> 8) % 12);
  const int day = 1 + static_cast<int>((bits >> 16) % 28);
  return FirstTradingDayFrom(*MakeDay(year, month, day));
}

std::vector<StockSplit> SplitsOf(std::string_view base, std::uint64_t seed) {
  long number = 0;
  const auto [end, error] = std::from_chars(base.data(), base.data() + base.size(), number);
  const bool allDigits = error == std::errc{} && end == base.data() + base.size();
  if (!allDigits || number == 0 || number % 7 != 0) {
    return {};
  }
  const std::uint64_t first = Mix(seed ^ kSaltFirstSplit);
  const std::uint64_t second = Mix(seed ^ kSaltSecondSplit);
  const int firstYear = 1996 + static_cast<int>(first % 10);
  const int secondYear = firstYear + 3 + static_cast<int>(second % 6);
  return {{DrawDay(firstYear, first), 1.0, 2.0}, {DrawDay(secondYear, second), 1.0, 1.5}};
}

std::string NameOf(std::uint64_t seed) {
  const std::uint64_t bits = Mix(seed ^ kSaltName);
  return std::string(kNamePrefixes[bits % kNamePrefixes.size()]) +
         std::string(kNameTrades[(bits >> 8) % kNameTrades.size()]) + "(株)";
}

std::string ShareCount(double shares) {
  // Counts are whole or halves: "2", "1.5".
  const long tenths = static_cast<long>(shares * 10.0 + 0.5);
  std::string text = std::to_string(tenths / 10);
  if (tenths % 10 != 0) {
    text += '.';
    text += static_cast<char>('0' + tenths % 10);
  }
  return text;
}

}  // namespace

bool IsValidCode(std::string_view code) {
  if (code.empty() || code.size() > 16 || code.front() == '.' || code.front() == '-') {
    return false;
  }
  for (const char c : code) {
    const bool allowed =
        std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '^';
    if (!allowed) {
      return false;
    }
  }
  return true;
}

CodeProfile ProfileOf(std::string_view code) {
  CodeProfile profile;
  profile.code = std::string(code);
  profile.base = std::string(code.substr(0, code.find('.')));
  profile.seed = HashOf(profile.base);
  profile.hasData = !profile.base.empty() && profile.base.front() != '0';
  profile.name = NameOf(profile.seed);
  if (profile.hasData) {
    profile.splits = SplitsOf(profile.base, profile.seed);
  }
  // Log-uniform levels: 150 to 30,000 yen, 20,000 to 2,000,000 shares a day.
  profile.startPrice = 150.0 * PortableExp(Unit(profile.seed, kSaltPrice) * 5.298317366548036);
  profile.dailyVolume = 20000.0 * PortableExp(Unit(profile.seed, kSaltVolume) * 4.605170185988092);
  return profile;
}

std::string SplitNote(const StockSplit& split) {
  return "分割: " + ShareCount(split.sharesBefore) + "株 -> " + ShareCount(split.sharesAfter) +
         "株";
}

}  // namespace pelmo::quote_server
