// Ownership of a C stream: closed when its owner goes, on every path out.
#pragma once

#include <cstdio>
#include <memory>

namespace pelmo {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// An open stream or null.
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace pelmo
