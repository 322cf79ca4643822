// Test-only helpers that run the real binaries: pelmo and the sample quote service.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace pelmo::testing {

inline std::filesystem::path BuildDir() {
  const char* dir = std::getenv("PELMO_BUILD_DIR");
  if (dir == nullptr)
    throw std::runtime_error("PELMO_BUILD_DIR is not set (run under ctest)");
  return dir;
}

// While it lives, the pelmo runs started by the test pause a millisecond between attempts
// (see ProgramFetchOptions), so that a failing service costs no real pauses.
class QuickPausesForTests {
 public:
  QuickPausesForTests() { setenv("PELMO_QUICK_PAUSES_FOR_TESTS", "1", 1); }
  ~QuickPausesForTests() { unsetenv("PELMO_QUICK_PAUSES_FOR_TESTS"); }
  QuickPausesForTests(const QuickPausesForTests&) = delete;
  QuickPausesForTests& operator=(const QuickPausesForTests&) = delete;
};

inline std::filesystem::path PelmoBinary() {
  return BuildDir() / "app" / "pelmo";
}
inline std::filesystem::path QuoteServerBinary() {
  return BuildDir() / "tools" / "quote_server" / "quote-server";
}

inline std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// How a process is run; the defaults run it as it is.
struct ProcessOptions {
  std::optional<uid_t> user;            // run as this user and its group (from root)
  bool standardErrorClosed = false;     // standard error a pipe that nobody reads
  std::optional<rlim_t> fileSizeLimit;  // bytes
};

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs `args` (args[0] is the program path) in `workDir` and waits for it. Standard output
// and error go through files so that large outputs cannot block the child.
inline ProcessResult RunProcess(const std::vector<std::string>& args,
                                const std::filesystem::path& workDir,
                                const ProcessOptions& options = {}) {
  const auto outPath = workDir / ".test-stdout";
  const auto errPath = workDir / ".test-stderr";
  int closedPipe[2] = {-1, -1};
  if (options.standardErrorClosed) {
    if (pipe(closedPipe) != 0)
      throw std::runtime_error("pipe failed");
    close(closedPipe[0]);
  }
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(workDir.c_str()) != 0)
      _exit(126);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = options.standardErrorClosed
                        ? closedPipe[1]
                        : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0)
      _exit(126);
    dup2(out, 1);
    dup2(err, 2);
    if (options.user &&
        (setgroups(0, nullptr) != 0 || setgid(*options.user) != 0 || setuid(*options.user) != 0)) {
      _exit(126);
    }
    if (options.fileSizeLimit) {
      const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        _exit(126);
    }
    std::vector<char*> argv;
    for (const auto& a : args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (options.standardErrorClosed)
    close(closedPipe[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  ProcessResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = ReadFileBytes(outPath);
  result.err = ReadFileBytes(errPath);
  std::filesystem::remove(outPath);
  std::filesystem::remove(errPath);
  return result;
}

// The sample quote service on a free port of 127.0.0.1, stopped when the object dies.
class QuoteServerProcess {
 public:
  explicit QuoteServerProcess(std::vector<std::string> extraArgs = {}) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
      throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ == 0) {
      dup2(pipeFds[1], 1);
      close(pipeFds[0]);
      close(pipeFds[1]);
      const std::string binary = QuoteServerBinary().string();
      std::vector<std::string> args = {binary, "--port", "0"};
      args.insert(args.end(), extraArgs.begin(), extraArgs.end());
      std::vector<char*> argv;
      for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(pipeFds[1]);
    std::string line;
    char c = 0;
    while (read(pipeFds[0], &c, 1) == 1 && c != '\n')
      line.push_back(c);
    close(pipeFds[0]);
    port_ = std::atoi(line.c_str());
    if (port_ <= 0)
      throw std::runtime_error("quote-server did not print its port: " + line);
  }
  ~QuoteServerProcess() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  QuoteServerProcess(const QuoteServerProcess&) = delete;
  QuoteServerProcess& operator=(const QuoteServerProcess&) = delete;

  int port() const { return port_; }
  std::string hostArgument() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace pelmo::testing
