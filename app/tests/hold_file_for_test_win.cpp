// Test-only: holds a file open the way a spreadsheet program does, without sharing it, so
// that the black-box tests can see what pelmo.exe does with such a file.
//
//   hold_file_for_test PATH SECONDS
//
// Prints "held" once the file is open, keeps it for SECONDS, then closes it. Exit code 0, or
// the Windows error code when the file cannot be opened.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: hold_file_for_test PATH SECONDS\n", stderr);
    return 1;
  }
  const HANDLE file = ::CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return static_cast<int>(::GetLastError());
  }
  std::puts("held");
  std::fflush(stdout);
  ::Sleep(static_cast<DWORD>(std::wcstol(argv[2], nullptr, 10) * 1000));
  ::CloseHandle(file);
  return 0;
}
