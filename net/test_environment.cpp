// Process set-up shared by the net tests: the HTTP library's global state, and no proxy for
// the loopback servers even when the machine's environment names one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "net/http_global_init.h"

namespace pelmo {
namespace {

class NetTestEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    init_ = std::make_unique<HttpGlobalInit>();
    ASSERT_TRUE(init_->Succeeded());
  }
  void TearDown() override { init_.reset(); }

 private:
  std::unique_ptr<HttpGlobalInit> init_;
};

// gtest takes ownership of the environment.
[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new NetTestEnvironment);

}  // namespace
}  // namespace pelmo
