#include "cli/console.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

namespace zarvex::cli {

bool PrepareConsole() {
  SetConsoleOutputCP(CP_UTF8);
  SetConsoleCP(CP_UTF8);
  // A console's handle, not a pipe or a file.
  return ::_isatty(::_fileno(stderr)) != 0;
}

}  // namespace zarvex::cli
