#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "sites/database_path.h"

namespace zarvex::sites {

std::string DefaultDatabasePath() {
  std::string base;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
    base = data;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::string(home) + "/.local/share";
  } else {
    base = ".";
  }
  const std::string folder = base + "/Zarvex Settings";
  std::error_code ignored;  // a folder that cannot be made is told when the file is opened
  std::filesystem::create_directories(folder, ignored);
  return folder + "/sites.db";
}

}  // namespace zarvex::sites
