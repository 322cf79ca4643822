#include <windows.h>

#include "app/tests/output_file_injected_for_test.h"

namespace pelmo {
namespace {

// ERROR_DISK_QUOTA_EXCEEDED, which the cross compiler's headers lack.
constexpr int kDiskQuotaExceeded = 1295;

}  // namespace

const SystemForTest& ThisSystemForTest() {
  static const SystemForTest kWindows{{ERROR_IO_DEVICE, ERROR_DISK_FULL, kDiskQuotaExceeded},
                                      ERROR_NOT_SUPPORTED,
                                      ERROR_NOT_SUPPORTED,
                                      false,
                                      false};
  return kWindows;
}

RestrictiveDefaultPermissionsForTest::RestrictiveDefaultPermissionsForTest() = default;
RestrictiveDefaultPermissionsForTest::~RestrictiveDefaultPermissionsForTest() = default;

}  // namespace pelmo
