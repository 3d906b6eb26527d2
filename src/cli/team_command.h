#pragma once

#include <istream>
#include <string>
#include <vector>

#include "cli/cli_app.h"

namespace zarvex::cli {

// zarvex-cli team join|sync|status|log|init|add-technician|remove-technician|
// branches; `words` hold the subcommand, its arguments and its options.
// Passwords are read from `in`, one line, and never printed.
int RunTeamCommand(const std::vector<std::string>& words, bool json, const CliEnvironment& env, std::istream& in);

}  // namespace zarvex::cli
