#include "platform/platform.h"

namespace pelmo {

std::optional<std::tm> LocalTime(std::time_t seconds) {
  std::tm local{};
  // The C runtime's reentrant form; its time zone comes from the system settings.
  if (localtime_s(&local, &seconds) != 0) {
    return std::nullopt;
  }
  return local;
}

}  // namespace pelmo
