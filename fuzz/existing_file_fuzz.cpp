// An output file left by an earlier run, with arbitrary bytes, loaded and written again:
// the old bytes must survive as the backup, and the writer's own output must load and
// write back to the same bytes, in both separators. The files live in one folder per
// process, removed at exit.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "app/output/existing_file.h"
#include "app/output/output_file.h"

namespace {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pelmo-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    path_ = pattern;
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

const std::string& OutputPath() {
  // A static object is destroyed at normal exit, which libFuzzer reaches after -runs.
  static const ScratchFolder folder;
  static const std::string path = (folder.path() / "quotes.csv").string();
  return path;
}

void Put(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) {
    std::perror("scratch file");
    std::abort();
  }
}

std::string Get(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Loads the file at the output path and writes the records back there, as a run does, through
// the target found there; returns the bytes. A file that is refused leaves what was read.
std::string LoadAndWrite(bool tabSeparated) {
  pelmo::DownloadJob job;
  job.outputPath = OutputPath();
  job.tabSeparated = tabSeparated;
  pelmo::OutputTarget target;
  pelmo::Result result = pelmo::OutputTarget::Open(job.outputPath, target);
  if (result.ok()) {
    (void)pelmo::ReadExistingFile(job, target);
    result = pelmo::WriteOutputFile(job, target);
  }
  if (!result.ok()) {
    std::fprintf(stderr, "cannot write %s: error %d\n", result.subject.c_str(), result.code);
    std::abort();
  }
  return Get(job.outputPath);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const bool tabSeparated = size > 0 && (data[0] & 1) != 0;
  const std::string_view original(reinterpret_cast<const char*>(data), size);
  Put(OutputPath(), original);
  const std::string first = LoadAndWrite(tabSeparated);
  if (Get(pelmo::BackupPath(OutputPath())) != original) {
    std::fprintf(stderr, "backup differs from the old file\n");
    std::abort();
  }
  const std::string second = LoadAndWrite(tabSeparated);
  if (first != second) {
    std::fprintf(stderr, "second write differs\n--- first:\n%s\n--- second:\n%s\n", first.c_str(),
                 second.c_str());
    std::abort();
  }
  return 0;
}
