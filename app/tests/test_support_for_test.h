// Test-only helpers shared by the app tests: a scratch folder, the names in a folder,
// whole-file reads and writes, a FILE* whose output can be read back, and whether a locale
// is installed.
#pragma once

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace pelmo {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolderForTest {
 public:
  ScratchFolderForTest() {
    // A name that no other folder has: create_directory says whether it was new. The clock
    // is in it as well, as some C++ libraries' random_device repeats from process to process.
    std::random_device seed;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int tries = 0; tries < 100; ++tries) {
      path_ = base / ("pelmo-test-" + std::to_string(seed()) + "-" + std::to_string(now));
      if (std::filesystem::create_directory(path_)) {
        return;
      }
    }
    throw std::runtime_error("cannot make a scratch folder");
  }
  ScratchFolderForTest(const ScratchFolderForTest&) = delete;
  ScratchFolderForTest& operator=(const ScratchFolderForTest&) = delete;
  ~ScratchFolderForTest() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  std::string Path(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFileForTest(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileForTest(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// A stream in a temporary file; Text() gives what was written so far.
class CapturedStreamForTest {
 public:
  CapturedStreamForTest() : stream_(std::tmpfile()) {
    if (stream_ == nullptr) {
      throw std::runtime_error("tmpfile failed");
    }
  }
  CapturedStreamForTest(const CapturedStreamForTest&) = delete;
  CapturedStreamForTest& operator=(const CapturedStreamForTest&) = delete;
  ~CapturedStreamForTest() { std::fclose(stream_); }

  std::FILE* get() const { return stream_; }
  std::string Text() {
    std::fflush(stream_);
    const long end = std::ftell(stream_);
    std::string text(static_cast<std::size_t>(end < 0 ? 0 : end), '\0');
    std::rewind(stream_);
    text.resize(std::fread(text.data(), 1, text.size(), stream_));
    // Later writes go on at the end.
    std::fseek(stream_, 0, SEEK_END);
    return text;
  }

 private:
  std::FILE* stream_;
};

// The names in `folder`, sorted, so that stray temporary files show in a comparison.
inline std::vector<std::string> SortedNamesForTest(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Whether the locale `name` can be had, for tests that need one beyond "C".
inline bool LocaleInstalledForTest(const char* name) {
  // Tried by setting it for a moment (the C library's one way on every system), then the
  // locale before is put back.
  const char* current = std::setlocale(LC_CTYPE, nullptr);
  const std::string saved = current != nullptr ? current : "C";
  const bool installed = std::setlocale(LC_CTYPE, name) != nullptr;
  std::setlocale(LC_CTYPE, saved.c_str());
  return installed;
}

}  // namespace pelmo
