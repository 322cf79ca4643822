// The real pelmo with its standard error on a pseudo-terminal opened here, and on a pipe,
// against the sample quote service.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/tests/test_process.h"
#include "app/tests/test_support_for_test.h"

extern char** environ;

namespace pelmo {
namespace {

using testing::PelmoBinary;
using testing::QuoteServerProcess;

// The split note of 7203 as the pages give it (Shift_JIS), and as a UTF-8 terminal shows it.
const std::string kNoteBytes = "2004/01/26,\x95\xAA\x8A\x84: 1\x8A\x94 -> 1.5\x8A\x94\r\n";
const std::string kNoteUtf8 = "2004/01/26,分割: 1株 -> 1.5株\n";
const std::string kErase = "\r\033[K";

struct Ended {
  int exitCode = -1;  // when it exited
  int signal = 0;     // when a signal ended it
  std::string shown;  // bytes written to standard error
};

// Starts pelmo in `folder` with LC_ALL set to `locale` and standard error on what
// `openError` gives in the child (a pty's far end or a pipe's writing end).
pid_t StartPelmo(const std::vector<std::string>& args, const std::string& folder,
                 const std::string& locale, const std::function<int()>& openError) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (!entry.starts_with("LC_") && !entry.starts_with("LANG=")) {
      env.push_back(entry);
    }
  }
  env.push_back("LC_ALL=" + locale);
  std::vector<std::string> argv = {PelmoBinary().string()};
  argv.insert(argv.end(), args.begin(), args.end());
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int errorFd = openError();
    const int nothing = ::open("/dev/null", O_RDWR);
    if (errorFd < 0 || nothing < 0 || ::chdir(folder.c_str()) != 0) {
      _exit(126);
    }
    ::dup2(nothing, 0);
    ::dup2(nothing, 1);
    ::dup2(errorFd, 2);
    std::vector<char*> cargv;
    for (auto& a : argv) {
      cargv.push_back(a.data());
    }
    cargv.push_back(nullptr);
    std::vector<char*> cenv;
    for (auto& e : env) {
      cenv.push_back(e.data());
    }
    cenv.push_back(nullptr);
    ::execve(cargv[0], cargv.data(), cenv.data());
    _exit(127);
  }
  return pid;
}

// Reads `fd` until the writer is gone; `onOutput` sees all bytes so far after each read.
// A child that takes longer than a minute is killed.
std::string ReadUntilClosed(int fd, pid_t pid,
                            const std::function<void(const std::string&)>& onOutput) {
  std::string bytes;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd wait{fd, POLLIN, 0};
    if (::poll(&wait, 1, 100) <= 0) {
      continue;
    }
    char buffer[4096];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) {
      return bytes;  // EIO on a pty, end of file on a pipe
    }
    bytes.append(buffer, static_cast<std::size_t>(got));
    if (onOutput) {
      onOutput(bytes);
    }
  }
  ::kill(pid, SIGKILL);
  return bytes;
}

Ended Wait(pid_t pid, std::string shown) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  Ended ended;
  ended.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  ended.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  ended.shown = std::move(shown);
  return ended;
}

// Standard error on a pseudo-terminal whose output is passed on unchanged (no CR before LF),
// so that the test sees pelmo's own bytes.
Ended RunOnTerminal(const std::vector<std::string>& args, const std::string& folder,
                    const std::string& locale,
                    const std::function<void(pid_t, const std::string&)>& onOutput = {}) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    ADD_FAILURE() << "no pseudo-terminal";
    return {};
  }
  const std::string slaveName = ::ptsname(master);
  const pid_t pid = StartPelmo(args, folder, locale, [&] {
    ::setsid();
    const int slave = ::open(slaveName.c_str(), O_RDWR);
    termios mode{};
    ::tcgetattr(slave, &mode);
    mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    ::tcsetattr(slave, TCSANOW, &mode);
    winsize size{};
    size.ws_col = 200;
    size.ws_row = 40;
    ::ioctl(slave, TIOCSWINSZ, &size);
    ::close(master);
    return slave;
  });
  std::string shown = ReadUntilClosed(master, pid, [&](const std::string& bytes) {
    if (onOutput) {
      onOutput(pid, bytes);
    }
  });
  ::close(master);
  return Wait(pid, std::move(shown));
}

Ended RunOnPipe(const std::vector<std::string>& args, const std::string& folder,
                const std::string& locale) {
  int fds[2];
  if (::pipe(fds) != 0) {
    ADD_FAILURE() << "no pipe";
    return {};
  }
  const pid_t pid = StartPelmo(args, folder, locale, [&] {
    ::close(fds[0]);
    return fds[1];
  });
  ::close(fds[1]);
  std::string shown = ReadUntilClosed(fds[0], pid, {});
  ::close(fds[0]);
  return Wait(pid, std::move(shown));
}

std::size_t LineCount(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class TerminalEndToEnd : public ::testing::Test {
 protected:
  // Four daily windows with the split of 2004/01/26 in the second.
  std::vector<std::string> Args() const {
    return {"--host", server_.hostArgument(), "-a", "-s", "2003/10/01", "-e", "2004/03/31", "7203"};
  }
  std::string Folder(const char* name) const {
    const std::string path = folder_.Path(name);
    std::filesystem::create_directory(path);
    return path;
  }

  QuoteServerProcess server_;
  ScratchFolderForTest folder_;
};

TEST_F(TerminalEndToEnd, PipeGetsTheNoteBytesAndNothingElse) {
  for (const char* locale : {"C", "en_US.UTF-8"}) {
    const Ended run = RunOnPipe(Args(), Folder(locale), locale);
    EXPECT_EQ(run.exitCode, 0) << locale;
    EXPECT_EQ(run.shown, kNoteBytes) << locale;
  }
}

TEST_F(TerminalEndToEnd, TerminalShowsReadableNoteProgressAndSummary) {
  if (!LocaleInstalledForTest("en_US.UTF-8")) {
    GTEST_SKIP() << "en_US.UTF-8 is not installed (scripts/setup.sh generates it)";
  }
  const std::string onPipe = Folder("pipe");
  ASSERT_EQ(RunOnPipe(Args(), onPipe, "en_US.UTF-8").exitCode, 0);
  const std::string onTerminal = Folder("terminal");
  const Ended run = RunOnTerminal(Args(), onTerminal, "en_US.UTF-8");
  EXPECT_EQ(run.exitCode, 0);
  const std::string file = ReadFileForTest(onTerminal + "/7203.csv");
  EXPECT_EQ(file, ReadFileForTest(onPipe + "/7203.csv"));
  const std::string rows = std::to_string(LineCount(file));
  const std::string summary = "pelmo: 7203.t: " + rows + " rows downloaded; 7203.csv holds " +
                              rows +
                              " rows, 2003/10/01 to 2004/03/31; no backup: there was no "
                              "earlier file\n";
  EXPECT_EQ(run.shown.rfind("\r7203.t 2004/02/10-2004/03/31 1/4 0 rows\033[K", 0), 0u) << run.shown;
  EXPECT_NE(run.shown.find(kErase + kNoteUtf8 + "\r7203.t "), std::string::npos) << run.shown;
  EXPECT_EQ(run.shown.find("\x95\xAA"), std::string::npos);
  ASSERT_GT(run.shown.size(), summary.size());
  EXPECT_EQ(run.shown.substr(run.shown.size() - summary.size() - kErase.size()), kErase + summary);
}

TEST_F(TerminalEndToEnd, LocalesThatCannotShowTheNoteGetItsBytes) {
  for (const char* locale : {"C", "en_US.ISO-8859-1"}) {
    if (!LocaleInstalledForTest(locale)) {
      ADD_FAILURE() << locale << " is not installed (scripts/setup.sh generates it)";
      continue;
    }
    const Ended run = RunOnTerminal(Args(), Folder(locale), locale);
    EXPECT_EQ(run.exitCode, 0) << locale;
    // Above the status line, exactly as on a pipe.
    EXPECT_NE(run.shown.find(kErase + kNoteBytes + "\r7203.t "), std::string::npos)
        << locale << ": " << run.shown;
    EXPECT_NE(run.shown.find("no backup: there was no earlier file\n"), std::string::npos)
        << locale;
  }
}

// A service that takes connections and never answers: the first window hangs.
class SilentService {
 public:
  SilentService() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd_, 8) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      throw std::runtime_error("cannot listen");
    }
    port_ = ntohs(address.sin_port);
  }
  ~SilentService() { ::close(fd_); }
  SilentService(const SilentService&) = delete;
  SilentService& operator=(const SilentService&) = delete;
  std::string hostArgument() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int fd_ = -1;
  int port_ = 0;
};

TEST_F(TerminalEndToEnd, InterruptErasesTheStatusLineAndKeepsTheFile) {
  const SilentService silent;
  const std::string folder = Folder("interrupted");
  const std::string earlier = "2000/01/04,1,2,3,4,5,6\r\n";
  WriteFileForTest(folder + "/7203.csv", earlier);
  bool interrupted = false;
  const Ended run = RunOnTerminal({"--host", silent.hostArgument(), "-s", "2000/01/01", "7203"},
                                  folder, "C", [&](pid_t pid, const std::string& shown) {
                                    if (!interrupted && shown.find(" 1/") != std::string::npos) {
                                      interrupted = true;
                                      ::kill(pid, SIGINT);
                                    }
                                  });
  ASSERT_TRUE(interrupted) << run.shown;
  EXPECT_FALSE(run.signal == 0 && run.exitCode == 0);
  EXPECT_EQ(run.shown.rfind("\r7203.t ", 0), 0u) << run.shown;
  EXPECT_TRUE(run.shown.ends_with("\033[K" + kErase + "pelmo: interrupted; 7203.csv unchanged\n"))
      << run.shown;
  EXPECT_EQ(ReadFileForTest(folder + "/7203.csv"), earlier);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"7203.csv"});
}

// One window that keeps the person waiting shows its status line after two seconds; the
// interrupt then tells that no file was written, and nothing of it reaches a pipe.
TEST_F(TerminalEndToEnd, ShortRunWaitingShowsTheStatusLineAndTheInterrupt) {
  const SilentService silent;
  const std::vector<std::string> args = {"--host", silent.hostArgument(), "-s",  "2026/12/01",
                                         "-e",     "2026/12/05",          "7203"};
  bool interrupted = false;
  const auto started = std::chrono::steady_clock::now();
  std::chrono::steady_clock::duration shownAfter{};
  const Ended run =
      RunOnTerminal(args, Folder("waiting"), "C", [&](pid_t pid, const std::string& shown) {
        if (!interrupted && shown.find(" 1/1 ") != std::string::npos) {
          shownAfter = std::chrono::steady_clock::now() - started;
          interrupted = true;
          ::kill(pid, SIGINT);
        }
      });
  ASSERT_TRUE(interrupted) << run.shown;
  EXPECT_GE(shownAfter, std::chrono::seconds(2));
  EXPECT_EQ(run.shown, "\r7203.t 2026/12/01-2026/12/05 1/1 0 rows\033[K" + kErase +
                           "pelmo: interrupted; 7203.csv unchanged\n");

  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t pid = StartPelmo(args, Folder("waiting-pipe"), "C", [&] {
    ::close(fds[0]);
    return fds[1];
  });
  ::close(fds[1]);
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  ::kill(pid, SIGINT);
  std::string onPipe = ReadUntilClosed(fds[0], pid, {});
  ::close(fds[0]);
  const Ended piped = Wait(pid, std::move(onPipe));
  EXPECT_EQ(piped.signal, SIGINT);
  EXPECT_EQ(piped.shown, "");
}

}  // namespace
}  // namespace pelmo
