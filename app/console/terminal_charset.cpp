#include "app/console/terminal_charset.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace pelmo {
namespace {

// Names under which glibc reports plain ASCII: nothing to convert into.
constexpr std::array<std::string_view, 3> kAsciiNames = {"ANSI_X3.4-1968", "ASCII", "US-ASCII"};

// CP932 rather than strict SHIFT_JIS: the strict table turns 0x5C into a yen sign and 0x7E
// into an overline, which would change the backslashes and tildes of a note.
constexpr std::array<const char*, 2> kSourceNames = {"CP932", "SHIFT_JIS"};

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

TerminalCharset TerminalCharset::FromEnvironment() {
  const locale_t locale = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) {
    return TerminalCharset("");
  }
  const std::string codeset = ::nl_langinfo_l(CODESET, locale);
  ::freelocale(locale);
  return TerminalCharset(codeset);
}

TerminalCharset::TerminalCharset(std::string_view codeset) {
  const bool ascii =
      std::find(kAsciiNames.begin(), kAsciiNames.end(), codeset) != kAsciiNames.end();
  if (codeset.empty() || ascii) {
    return;
  }
  const std::string target(codeset);
  for (const char* source : kSourceNames) {
    converter_ = ::iconv_open(target.c_str(), source);
    if (converter_ != kNone) {
      return;
    }
  }
}

TerminalCharset::~TerminalCharset() {
  if (converter_ != kNone) {
    ::iconv_close(converter_);
  }
}

TerminalCharset::TerminalCharset(TerminalCharset&& other) noexcept : converter_(other.converter_) {
  other.converter_ = kNone;
}

std::optional<std::string> TerminalCharset::FromShiftJis(std::string_view text) const {
  if (!Converts()) {
    return std::nullopt;
  }
  if (IsAscii(text)) {
    return std::string(text);
  }
  // Reset the shift state left by an earlier call.
  ::iconv(converter_, nullptr, nullptr, nullptr, nullptr);
  std::string input(text);
  std::string output;
  char* in = input.data();
  std::size_t inLeft = input.size();
  std::size_t outLeft = 0;
  bool flushed = false;
  while (!flushed) {
    // Grow on demand: a stateful target adds escape sequences besides the characters.
    const std::size_t used = output.size() - outLeft;
    output.resize(output.size() + input.size() * 2 + 16);
    outLeft = output.size() - used;
    char* out = output.data() + used;
    std::size_t result = ::iconv(converter_, &in, &inLeft, &out, &outLeft);
    if (result != static_cast<std::size_t>(-1)) {
      result = ::iconv(converter_, nullptr, nullptr, &out, &outLeft);
      flushed = result != static_cast<std::size_t>(-1);
    }
    if (!flushed && errno != E2BIG) {
      return std::nullopt;
    }
  }
  output.resize(output.size() - outLeft);
  return output;
}

}  // namespace pelmo
