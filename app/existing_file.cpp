#include "app/existing_file.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "base/unique_file.h"
#include "platform/platform.h"

namespace pelmo {
namespace {

constexpr std::string_view kSeparators = ",\t";
constexpr int kMaxValues = 6;

constexpr std::size_t kReadSize = 64 * 1024;

// Calls `take` with each line of `file`, its line feed included (the last line may have
// none). Reads in large blocks: no line length limit, zero bytes kept, on every system.
template <typename Take>
void ForEachLine(std::FILE* file, Take take) {
  std::string block(kReadSize, '\0');
  std::string pending;
  for (;;) {
    const std::size_t got = std::fread(block.data(), 1, block.size(), file);
    if (got == 0) {
      break;
    }
    std::string_view rest(block.data(), got);
    for (std::size_t end; (end = rest.find('\n')) != std::string_view::npos;) {
      pending.append(rest.substr(0, end + 1));
      take(pending);
      pending.clear();
      rest.remove_prefix(end + 1);
    }
    pending.append(rest);
  }
  if (!pending.empty()) {
    take(pending);
  }
}

bool IsBlank(std::string_view line) {
  return std::all_of(line.begin(), line.end(),
                     [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
}

// The next field after `position`, skipping separators before it; empty at the end.
std::string_view NextField(std::string_view line, std::size_t& position) {
  const std::size_t begin = line.find_first_not_of(kSeparators, position);
  if (begin == std::string_view::npos) {
    position = line.size();
    return {};
  }
  const std::size_t end = std::min(line.find_first_of(kSeparators, begin), line.size());
  position = end;
  return line.substr(begin, end - begin);
}

// As the C library reads a decimal: leading white space, then the longest number; 0 when
// there is none. Held as a double, so the text's digits come back as they were written.
double ReadValue(std::string_view field) {
  const std::string text(field);
  return std::strtod(text.c_str(), nullptr);
}

}  // namespace

QuoteRecord ParseRecordLine(std::string_view line, int& valueCount) {
  QuoteRecord record;
  std::size_t position = 0;
  record.date = Parse(NextField(line, position), TimeOfDay::Drop);
  valueCount = 0;
  for (std::string_view field = NextField(line, position);
       !field.empty() && valueCount < kMaxValues; field = NextField(line, position)) {
    record.values[valueCount++] = ReadValue(field);
  }
  record.source = RecordSource::ExistingFile;
  return record;
}

void SkipByteOrderMark(std::string& line) {
  if (line.starts_with(kByteOrderMark)) {
    line.erase(0, kByteOrderMark.size());
  }
}

namespace {

// Reads every line of `stream` (taken over, null when it could not be opened) into the
// job. Returns 0, or the errno of the failed open or read.
int ReadExistingLines(std::FILE* stream, DownloadJob& job) {
  const UniqueFile file(stream);
  if (!file) {
    return errno;
  }
  bool firstLine = true;
  ForEachLine(file.get(), [&](std::string& line) {
    if (std::exchange(firstLine, false)) {
      SkipByteOrderMark(line);
    }
    // Read as text: a CR LF line end is a line feed.
    if (line.ends_with("\r\n")) {
      line.erase(line.size() - 2, 1);
    }
    if (IsBlank(line)) {
      return;
    }
    int valueCount = 0;
    job.records.Append(ParseRecordLine(line, valueCount));
    job.columnCount = std::max(job.columnCount, valueCount);
  });
  // fread tells the end of the file from a failed read only through the error flag.
  return std::ferror(file.get()) ? (errno != 0 ? errno : EIO) : 0;
}

}  // namespace

int LoadExistingFile(DownloadJob& job) {
  (void)ReadExistingLines(OpenFile(job.outputPath, "rb"), job);
  return 0;
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
  if (const int error = ReadExistingLines(stream, job)) {
    return FileFailure(Reason::CannotRead, error, target.path());
  }
  return {};
}

}  // namespace pelmo
