#include "platform/platform.h"

#include <cstring>

namespace pelmo {

std::string_view FolderSeparators() {
  return "/";
}

std::string SystemErrorText(int error) {
  return std::strerror(error);
}

}  // namespace pelmo
