#include "net/file_address.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/ascii.h"
#include "base/unique_file.h"

namespace pelmo {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

std::string DecodePercent(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

}  // namespace

std::optional<std::string> FileAddressPath(std::string_view address) {
  constexpr std::string_view kScheme = "file:";
  if (address.size() < kScheme.size() || !EqualsNoCase(address.substr(0, 5), kScheme)) {
    return std::nullopt;
  }
  std::string_view rest = address.substr(kScheme.size());
  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos) {
      return std::nullopt;
    }
    // Only this machine can be named as the host.
    const std::string_view host = rest.substr(0, slash);
    if (!host.empty() && !EqualsNoCase(host, "localhost")) {
      return std::nullopt;
    }
    rest.remove_prefix(slash);
  }
  if (rest.empty()) {
    return std::nullopt;
  }
  return DecodePercent(rest);
}

Result ReadLocalFile(const std::string& path, std::size_t limit, std::string& text) {
  text.clear();
  UniqueFile file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    const int error = errno;
    return Failure(Reason::FileUnreadable, std::string("cannot open file: ") + std::strerror(error),
                   error);
  }
  char chunk[65536];
  std::size_t count;
  while ((count = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
    if (count > limit - text.size()) {
      text.clear();
      return Failure(Reason::TooLarge, "file too large");
    }
    text.append(chunk, count);
  }
  if (std::ferror(file.get())) {
    const int error = errno;
    text.clear();
    return Failure(Reason::FileUnreadable, std::string("cannot read file: ") + std::strerror(error),
                   error);
  }
  // The text is a zero-terminated string everywhere else, so a zero byte ends it here too.
  const std::size_t zero = text.find('\0');
  if (zero != std::string::npos) {
    text.resize(zero);
  }
  return {};
}

}  // namespace pelmo
