// Test-only helpers shared by the app tests: a scratch folder, the names in a folder,
// whole-file reads and writes, a FILE* whose output can be read back, and whether a locale
// is installed.
#pragma once

#include <locale.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace pelmo {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolderForTest {
 public:
  ScratchFolderForTest() {
    std::string name = (std::filesystem::temp_directory_path() / "pelmo-test-XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) {
      throw std::runtime_error("mkdtemp failed");
    }
    path_ = name;
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

// A stream in memory; Text() gives what was written so far.
class CapturedStreamForTest {
 public:
  CapturedStreamForTest() : stream_(::open_memstream(&buffer_, &size_)) {}
  CapturedStreamForTest(const CapturedStreamForTest&) = delete;
  CapturedStreamForTest& operator=(const CapturedStreamForTest&) = delete;
  ~CapturedStreamForTest() {
    std::fclose(stream_);
    std::free(buffer_);
  }

  std::FILE* get() const { return stream_; }
  std::string Text() {
    std::fflush(stream_);
    return std::string(buffer_, size_);
  }

 private:
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
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
  const locale_t locale = ::newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) {
    return false;
  }
  ::freelocale(locale);
  return true;
}

}  // namespace pelmo
