// Runs a command and prints its wall time, user and system CPU time in seconds and its peak
// resident size in KiB, from wait4: "WALL USER SYS MAXRSS". /usr/bin/time rounds the times to
// hundredths, too coarse for runs of a tenth of a second.
//
//   child_usage OUTPUT_FILE COMMAND [ARGUMENT...]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: child_usage OUTPUT_FILE COMMAND [ARGUMENT...]\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child < 0) {
    std::perror("child_usage: fork");
    return 2;
  }
  if (child == 0) {
    ::execvp(argv[2], argv + 2);
    std::perror("child_usage: exec");
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) < 0) {
    std::perror("child_usage: wait4");
    return 2;
  }
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) {
    std::perror("child_usage: output");
    return 2;
  }
  std::fprintf(out, "%.4f %.4f %.4f %ld\n", wall.count(), seconds(usage.ru_utime),
               seconds(usage.ru_stime), usage.ru_maxrss);
  std::fclose(out);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
