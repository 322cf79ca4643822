#include "platform/platform.h"

#include <windows.h>

#include <vector>

#include "platform/wide_text_win.h"

namespace pelmo {
namespace {

// Seconds between 1601-01-01 (FILETIME's origin) and 1970-01-01.
constexpr long long kFileTimeToUnixSeconds = 11644473600LL;
constexpr long long kFileTimeTicksPerSecond = 10000000LL;

}  // namespace

std::string ProgramPath() {
  // Long paths need more than MAX_PATH; grow until the name fits.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      return "";
    }
    if (length < path.size()) {
      path.resize(length);
      return Narrow(path);
    }
    path.resize(path.size() * 2);
  }
}

std::optional<std::time_t> FileModifiedTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) {
    return std::nullopt;
  }
  const long long ticks = (static_cast<long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                          data.ftLastWriteTime.dwLowDateTime;
  return static_cast<std::time_t>(ticks / kFileTimeTicksPerSecond - kFileTimeToUnixSeconds);
}

std::optional<std::array<int, 4>> ProgramVersion(const std::string& path) {
  const std::wstring widePath = Widen(path);
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(widePath.c_str(), &ignored);
  if (size == 0) {
    return std::nullopt;
  }
  std::vector<unsigned char> record(size);
  if (!::GetFileVersionInfoW(widePath.c_str(), 0, size, record.data())) {
    return std::nullopt;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!::VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
      fixed == nullptr || fixedSize < sizeof(VS_FIXEDFILEINFO)) {
    return std::nullopt;
  }
  return std::array<int, 4>{static_cast<int>(HIWORD(fixed->dwFileVersionMS)),
                            static_cast<int>(LOWORD(fixed->dwFileVersionMS)),
                            static_cast<int>(HIWORD(fixed->dwFileVersionLS)),
                            static_cast<int>(LOWORD(fixed->dwFileVersionLS))};
}

}  // namespace pelmo
