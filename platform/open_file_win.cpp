#include "platform/platform.h"

#include "platform/wide_text_win.h"

namespace pelmo {

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return ::_wfopen(Widen(path).c_str(), Widen(mode).c_str());
}

}  // namespace pelmo
