#include "platform/platform.h"

#include <cstring>

namespace pelmo {

std::string_view FolderSeparators() {
  return "/";
}

std::string SystemErrorText(int error) {
  return std::strerror(error);
}

void WriteMessage(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

}  // namespace pelmo
