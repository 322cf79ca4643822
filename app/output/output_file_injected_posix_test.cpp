#include <sys/stat.h>

#include <cerrno>

#include "app/tests/output_file_injected_for_test.h"

namespace pelmo {

const SystemForTest& ThisSystemForTest() {
  static const SystemForTest kPosix{{EIO, ENOSPC, EDQUOT}, EPERM, EOPNOTSUPP, true, true};
  return kPosix;
}

RestrictiveDefaultPermissionsForTest::RestrictiveDefaultPermissionsForTest()
    : saved_(::umask(077)) {}

RestrictiveDefaultPermissionsForTest::~RestrictiveDefaultPermissionsForTest() {
  ::umask(static_cast<mode_t>(saved_));
}

}  // namespace pelmo
