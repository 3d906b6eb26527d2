#pragma once

#include <string>

namespace zarvex::cli {

// The program's help, and one command's; empty for a command that does not exist.
std::string ProgramHelp();
std::string CommandHelp(const std::string& command);

}  // namespace zarvex::cli
