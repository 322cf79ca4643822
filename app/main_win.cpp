// The Windows entry: the command line arrives in wide characters, so that a folder or a code
// typed in any script reaches pelmo whatever the console's code page; it is handed on in
// UTF-8, the form every path takes inside the program.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/entry.h"
#include "platform/wide_text_win.h"

int wmain(int argc, wchar_t** argv) {
  // Note rows carry their own CR LF and the messages end in a line feed, as on other
  // systems: standard error is written untranslated. Standard output stays in text mode and
  // so ends its lines the Windows way.
  ::_setmode(::_fileno(stderr), _O_BINARY);
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    args.push_back(pelmo::Narrow(argv[i]));
  }
  std::vector<char*> pointers;
  for (std::string& arg : args) {
    pointers.push_back(arg.data());
  }
  pointers.push_back(nullptr);
  return pelmo::RunPelmo(argc, pointers.data());
}
