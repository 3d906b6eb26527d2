#pragma once

#include <string>

namespace zarvex::cli {

// A device node as this system names it, written as a shell takes it
// (cli/linux, cli/windows), and what to mind when typing one.
std::string DeviceExample();
std::string DeviceQuoteNote();

// The program's help, and one command's; empty for a command that does not exist.
std::string ProgramHelp();
std::string CommandHelp(const std::string& command);

}  // namespace zarvex::cli
