#include "app/output/existing_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/tests/test_support_for_test.h"

namespace pelmo {
namespace {

// A pipe at the output path is written to, never read.
TEST(ExistingFilePipe, IsNeverRead) {
  ScratchFolderForTest folder;
  const std::string pipe = folder.Path("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  OutputTarget target;
  ASSERT_TRUE(OutputTarget::Open(pipe, target).ok());
  DownloadJob none;
  EXPECT_TRUE(ReadExistingFile(none, target).ok());
  EXPECT_TRUE(none.records.empty());
}

}  // namespace
}  // namespace pelmo
