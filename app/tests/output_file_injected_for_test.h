// Test-only: what the injected-failure tests of the output file need to know about the
// system whose FileSystem they run against (output_file_injected_posix_test.cpp and
// output_file_injected_win_test.cpp).
#pragma once

#include <string>
#include <vector>

namespace pelmo {

struct SystemForTest {
  // The system's codes for an input/output error, a full disk and a full quota.
  std::vector<int> writeErrors;
  // What a file system without hard links answers to a link.
  int noHardLinks = 0;
  // What a file system without unnamed files answers to their creation.
  int noUnnamedFiles = 0;
  // Whether the system can make unnamed files at all.
  bool unnamedFiles = false;
  // Whether files have permission bits that a replacement and a backup must keep.
  bool permissions = false;
};

const SystemForTest& ThisSystemForTest();

// While it lives, new files get only their owner's permissions by default (where files have
// permissions), so that a file that takes the default ones instead of the old file's shows.
class RestrictiveDefaultPermissionsForTest {
 public:
  RestrictiveDefaultPermissionsForTest();
  RestrictiveDefaultPermissionsForTest(const RestrictiveDefaultPermissionsForTest&) = delete;
  RestrictiveDefaultPermissionsForTest& operator=(const RestrictiveDefaultPermissionsForTest&) =
      delete;
  ~RestrictiveDefaultPermissionsForTest();

 private:
  unsigned saved_ = 0;
};

}  // namespace pelmo
