#include "cli/cli_help.h"

namespace zarvex::cli {

// The path holds '&', which cmd and PowerShell take for their own unless quoted.
std::string DeviceExample() { return "\"\\\\?\\hid#vid_…&pid_…#…\""; }
std::string DeviceQuoteNote() { return ", в двойных кавычках: в пути есть знак &"; }

}  // namespace zarvex::cli
