// Runs the real quote-server executable.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/quote_server/test_support.h"

extern char** environ;

namespace pelmo::quote_server {
namespace {

std::string ExecutablePath() {
  const char* build = std::getenv("PELMO_BUILD_DIR");
  return std::string(build ? build : ".") + "/tools/quote_server/quote-server";
}

// The executable running with its standard output on a pipe.
class Process {
 public:
  explicit Process(std::vector<std::string> args) {
    args.insert(args.begin(), ExecutablePath());
    std::vector<char*> argv;
    for (std::string& arg : args) {
      argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0) << argv[0];
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    out_ = ::fdopen(fds[0], "r");
  }

  ~Process() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
    std::fclose(out_);
  }

  std::string ReadLine() {
    char line[4096] = {};
    return std::fgets(line, sizeof line, out_) ? std::string(line) : std::string();
  }

  std::string ReadAll() {
    std::string all;
    for (int c = std::fgetc(out_); c != EOF; c = std::fgetc(out_)) {
      all += static_cast<char>(c);
    }
    return all;
  }

  void Signal(int signal) { ::kill(pid_, signal); }

  // The exit code, or -1 when the process did not exit normally within ten seconds.
  int Wait() {
    if (pid_ <= 0) {
      return -1;
    }
    for (int i = 0; i < 1000; ++i) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  std::FILE* out_ = nullptr;
};

TEST(QuoteServerExecutable, PortZeroPrintsThePortAndSignalsStopIt) {
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    const std::string log =
        ::testing::TempDir() + "quote_server_main_" + std::to_string(::getpid()) + ".log";
    Process server({"--port", "0", "--log", log, "--crlf"});
    const std::string first = server.ReadLine();
    const int port = std::atoi(first.c_str());
    ASSERT_GT(port, 0) << first;
    EXPECT_EQ(first, std::to_string(port) + "\n");
    httplib::Client client("127.0.0.1", port);
    const auto response = client.Get("/bt?s=7203.t&a=1&b=5&c=2007&d=3&e=31&f=2007");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_NE(response->body.find("\r\n"), std::string::npos);
    EXPECT_EQ(testing::TableTexts(testing::EucJpToUtf8(response->body)).size(), 14u);
    std::ifstream in(log);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "/bt?s=7203.t&a=1&b=5&c=2007&d=3&e=31&f=2007");
    server.Signal(signal);
    EXPECT_EQ(server.Wait(), 0);
    std::remove(log.c_str());
  }
}

TEST(QuoteServerExecutable, HelpAndBadArguments) {
  Process help({"--help"});
  const std::string text = help.ReadAll();
  EXPECT_EQ(help.Wait(), 0);
  EXPECT_EQ(text.rfind("Usage: quote-server [--bind ADDR] [--port N] [--log FILE] [--crlf] "
                       "[--fail-first N]\n",
                       0),
            0u);
  for (const char* option :
       {"--bind", "--port", "--log", "--crlf", "--fail-first", "--close", "--cert", "--key"}) {
    EXPECT_NE(text.find(std::string("  ") + option), std::string::npos) << option;
  }
  Process bad({"--port", "x"});
  EXPECT_EQ(bad.ReadAll(), "");
  EXPECT_EQ(bad.Wait(), 1);
  Process certWithoutKey({"--port", "0", "--cert", "c.pem"});
  EXPECT_EQ(certWithoutKey.ReadAll(), "");
  EXPECT_EQ(certWithoutKey.Wait(), 1);
  Process unwritableLog({"--port", "0", "--log", "/nonexistent-directory/x.log"});
  EXPECT_EQ(unwritableLog.ReadAll(), "");
  EXPECT_EQ(unwritableLog.Wait(), 1);
}

}  // namespace
}  // namespace pelmo::quote_server
