#include "app/output/signal_cleanup.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace pelmo {
namespace {

namespace fs = std::filesystem;

// A list run writes several codes' files at once: a termination must remove the temporary
// names of every one of them, however many threads registered them at the same moment.
TEST(SignalCleanupTest, TerminationRemovesTheNamesOfEveryThread) {
  const fs::path dir = fs::temp_directory_path() / ("pelmo-signal-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  constexpr int kThreads = 8;
  constexpr int kNamesEach = 3;
  std::vector<fs::path> names;
  for (int i = 0; i < kThreads * kNamesEach; ++i) {
    names.push_back(dir / (".pelmo-" + std::to_string(i)));
    std::ofstream(names.back()) << "x";
  }

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SetUpSignals();
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        while (!go.load()) {
        }
        std::vector<std::unique_ptr<TemporaryNameForSignals>> held;
        for (int n = 0; n < kNamesEach; ++n) {
          held.push_back(std::make_unique<TemporaryNameForSignals>(
              names[static_cast<std::size_t>(t * kNamesEach + n)].string()));
        }
        ++ready;
        ::pause();
      });
    }
    go.store(true);
    while (ready.load() < kThreads) {
      std::this_thread::yield();
    }
    ::raise(SIGTERM);
    ::_exit(3);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir)) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_TRUE(left.empty()) << left.size() << " names left, " << left.front() << " first";
  fs::remove_all(dir);
}

}  // namespace
}  // namespace pelmo
