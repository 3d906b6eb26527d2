#include "cli/console.h"

#include <unistd.h>

namespace zarvex::cli {

bool PrepareConsole() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace zarvex::cli
