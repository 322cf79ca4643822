#include "app/file_result.h"

#include <cerrno>
#include <cstring>

#include "platform/platform.h"

namespace pelmo {

int FileResult::ExitCode() const {
  if (conflict != nullptr) {
    return kExitTemporaryFailure;
  }
  return error;
}

FileResult InUseByAnotherRun(const std::string& path) {
  return {EAGAIN, path, FileStep::Write, "in use by another run of pelmo"};
}

FileResult ChangedDuringTheRun(const std::string& path) {
  return {EAGAIN, path, FileStep::Write, "changed by another program during this run"};
}

void ReportFileFailure(std::FILE* messages, const FileResult& result) {
  if (messages == nullptr || result.ok()) {
    return;
  }
  const std::string line =
      std::string("pelmo: cannot ") + (result.step == FileStep::Read ? "read " : "write ") +
      result.path + ": " +
      (result.conflict != nullptr ? std::string(result.conflict) : SystemErrorText(result.error)) +
      "\n";
  std::fwrite(line.data(), 1, line.size(), messages);
  std::fflush(messages);
}

}  // namespace pelmo
