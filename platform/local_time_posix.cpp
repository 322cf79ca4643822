#include "platform/platform.h"

namespace pelmo {

std::optional<std::tm> LocalTime(std::time_t seconds) {
  std::tm local{};
  if (localtime_r(&seconds, &local) == nullptr) {
    return std::nullopt;
  }
  return local;
}

}  // namespace pelmo
