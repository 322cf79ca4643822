// Standard-error streams for a run on a terminal: what pelmo writes to them goes through the
// TerminalDisplay, so that it appears above the status line.
#pragma once

#include <cstdio>
#include <memory>

#include "app/terminal_charset.h"
#include "app/terminal_display.h"
#include "base/unique_file.h"

namespace pelmo {

using TerminalStream = UniqueFile;

// A stream whose complete lines are handed to `display`, never a part of one. With `charset`,
// the lines are Shift_JIS note rows: a line that `charset` converts is shown converted, with
// its CR LF as a plain line feed and control bytes as spaces; any other line, and every line
// without `charset`, is shown byte for byte. A last line without a line end is shown when the
// stream is closed. Both objects must outlive the stream. Null if the stream cannot be made.
TerminalStream OpenTerminalStream(TerminalDisplay& display, const TerminalCharset* charset);

}  // namespace pelmo
