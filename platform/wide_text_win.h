// UTF-8 and the wide characters of Windows' system calls, converted at the call.
#pragma once

#include <string>
#include <string_view>

namespace pelmo {

// `text` (UTF-8) as UTF-16; bytes that are not UTF-8 become U+FFFD.
std::wstring Widen(std::string_view text);

// `text` (UTF-16) as UTF-8.
std::string Narrow(std::wstring_view text);

}  // namespace pelmo
