// Note rows arrive in Shift_JIS; a person's screen shows other characters. A NoteConverter
// turns a row into them: the terminal's character set on POSIX systems
// (app/console/terminal_charset.h), UTF-8 for the Windows console (app/console/console_sink.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelmo {

class NoteConverter {
 public:
  virtual ~NoteConverter() = default;

  // `text` (Shift_JIS, no line end) converted; nullopt when it cannot be, and the caller
  // then shows the bytes as they are.
  virtual std::optional<std::string> FromShiftJis(std::string_view text) const = 0;
};

}  // namespace pelmo
