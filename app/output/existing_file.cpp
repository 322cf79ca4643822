#include "app/output/existing_file.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <string>

#include "app/output/stored_line.h"
#include "base/unique_file.h"
#include "platform/platform.h"

namespace pelmo {
namespace {

constexpr std::size_t kReadSize = 64 * 1024;
// How much of a refused line its message shows.
constexpr std::size_t kExcerptBytes = 40;
// What older versions wrote for a row whose date they could not read.
constexpr std::string_view kUndatedRow = "Invalid DateTime";

// The whole of `file` into `text`. 0, or the errno of a failed read.
int ReadAll(std::FILE* file, std::string& text) {
  std::string block(kReadSize, '\0');
  for (;;) {
    const std::size_t got = std::fread(block.data(), 1, block.size(), file);
    text.append(block.data(), got);
    if (got < block.size()) {
      break;
    }
  }
  // fread tells the end of the file from a failed read only through the error flag.
  return std::ferror(file) ? (errno != 0 ? errno : EIO) : 0;
}

// The line starting at `pos` without its line end (LF, CR LF or CR); `pos` moves past it.
std::string_view NextLine(std::string_view text, std::size_t& pos) {
  const std::size_t begin = pos;
  const std::size_t end = std::min(text.find_first_of("\r\n", begin), text.size());
  pos = end;
  if (pos < text.size()) {
    pos += text.substr(pos, 2) == "\r\n" ? 2 : 1;
  }
  return text.substr(begin, end - begin);
}

bool IsBlank(std::string_view line) {
  return std::all_of(line.begin(), line.end(),
                     [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
}

// Reads an opened file (taken over; null when it could not be opened) into the job.
Result ReadOpened(std::FILE* stream, const std::string& path, DownloadJob& job) {
  const UniqueFile file(stream);
  if (!file) {
    return FileFailure(Reason::CannotRead, errno, path);
  }
  std::string text;
  if (const int error = ReadAll(file.get(), text)) {
    return FileFailure(Reason::CannotRead, error, path);
  }
  Result result = ReadStoredRows(text, path, job);
  job.storedBytes = std::move(text);
  return result;
}

}  // namespace

Result ReadStoredRows(std::string_view text, const std::string& path, DownloadJob& job) {
  if (text.starts_with(kByteOrderMark)) {
    text.remove_prefix(kByteOrderMark.size());
  }
  std::size_t pos = 0;
  for (int number = 1; pos < text.size(); ++number) {
    const std::string_view line = NextLine(text, pos);
    if (IsBlank(line) || line.starts_with(kUndatedRow)) {
      continue;
    }
    const std::optional<StoredRow> row = ParseRecordLine(line);
    if (!row) {
      return About(Failure(Reason::NotUnderstood,
                           "line " + std::to_string(number) +
                               " is not a dated row: " + LineExcerpt(line, kExcerptBytes)),
                   path);
    }
    job.records.ReplaceByDate(row->record);
    job.columnCount = std::max(job.columnCount, row->valueCount);
    job.storedValueCount = std::max(job.storedValueCount.value_or(0), row->valueCount);
  }
  return {};
}

Result ReadExistingFile(DownloadJob& job, const OutputTarget& target) {
  if (target.kind() != OutputKind::RegularFile) {
    return {};
  }
  // A descriptor of its own, so that closing the stream leaves the locked one open.
  const int fd = ::dup(target.readFd());
  std::FILE* stream = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
  if (fd >= 0 && stream == nullptr) {
    ::close(fd);
  }
  return ReadOpened(stream, target.path(), job);
}

Result OpenAndReadOutput(DownloadJob& job, OutputTarget& target) {
  Result found = OutputTarget::Open(job.outputPath, target);
  if (found.ok()) {
    found = ReadExistingFile(job, target);
  }
  return found;
}

}  // namespace pelmo
