#pragma once

#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "settings/tcfg.h"

namespace zarvex::cli {

// zarvex-cli sites list | show SITE | find TEXT | export SITE -o FILE |
// import FILE | backup -o FILE; returns the exit code.
int RunSitesCommand(const std::vector<std::string>& words, const std::string& output, bool json,
                    const CliEnvironment& env);

// Files what a read or write left under the site of that name, made when
// there is none ("read", "written", "verify"). False, with the reason told
// on env.err, when the database cannot be used.
bool FileUnderSite(const std::string& siteName, const TCFG& cfg, const std::string& kind,
                   const CliEnvironment& env);

}  // namespace zarvex::cli
