// Note rows arrive in Shift_JIS; a person's terminal shows its locale's character set. This
// converts one to the other with the system's iconv, so that the rest of the program can stay
// in the "C" locale: the locale is read from the environment here and nowhere else.
#pragma once

#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

#include "app/console/note_converter.h"

namespace pelmo {

class TerminalCharset : public NoteConverter {
 public:
  // The character set of the locale that LC_ALL, LC_CTYPE and LANG name. Converts nothing
  // when that locale is missing, is "C", or its character set is ASCII.
  static TerminalCharset FromEnvironment();

  // Converts to the character set named `codeset` (as nl_langinfo(CODESET) gives it).
  explicit TerminalCharset(std::string_view codeset);
  ~TerminalCharset();
  TerminalCharset(TerminalCharset&& other) noexcept;
  TerminalCharset& operator=(TerminalCharset&&) = delete;
  TerminalCharset(const TerminalCharset&) = delete;
  TerminalCharset& operator=(const TerminalCharset&) = delete;

  // Whether anything is ever converted.
  bool Converts() const { return converter_ != kNone; }

  // `text` (Shift_JIS) in the terminal's character set. Text of ASCII bytes only is returned
  // as it is. Nullopt when nothing is converted, when `text` is not Shift_JIS, or when the
  // character set cannot take one of its characters: the caller then shows the bytes as
  // they are.
  std::optional<std::string> FromShiftJis(std::string_view text) const override;

 private:
  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
  iconv_t converter_ = kNone;
};

}  // namespace pelmo
