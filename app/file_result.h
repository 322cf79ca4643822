// The outcome of reading or writing the output file, and how a failure is told: one line
// on standard error and the exit code.
#pragma once

#include <cstdio>
#include <string>

namespace pelmo {

// The exit code when another run of pelmo, or another program, holds or changed the
// output file: a temporary failure, worth trying again later.
inline constexpr int kExitTemporaryFailure = 75;

enum class FileStep { Read, Write };

struct [[nodiscard]] FileResult {
  int error = 0;     // errno of the call that failed; 0 on success
  std::string path;  // the file it was about
  FileStep step = FileStep::Write;
  // Set when the file is in the way of another run or program; said instead of the
  // system's text, and the exit code is kExitTemporaryFailure.
  const char* conflict = nullptr;

  bool ok() const { return error == 0 && conflict == nullptr; }
  // 0, kExitTemporaryFailure for a conflict, else the errno.
  int ExitCode() const;
};

// The result of another run of pelmo holding `path`.
FileResult InUseByAnotherRun(const std::string& path);
// The result of `path` changed by another program since this run read it.
FileResult ChangedDuringTheRun(const std::string& path);

// Writes "pelmo: cannot read PATH: REASON" or "pelmo: cannot write PATH: REASON" and a
// line feed on `messages` (nothing when it is null or the result is a success). A failed
// write there is ignored: the messages only inform.
void ReportFileFailure(std::FILE* messages, const FileResult& result);

}  // namespace pelmo
