#pragma once

#include <string>

namespace zarvex::sites {

// Where the site database lives (UTF-8): "~/.local/share/Zarvex Settings/sites.db"
// ($XDG_DATA_HOME when set), "%LOCALAPPDATA%\Zarvex Settings\sites.db" on
// Windows, one in the roaming folder moved there once (sites/posix,
// sites/windows). The folder is made when missing.
std::string DefaultDatabasePath();

}  // namespace zarvex::sites
