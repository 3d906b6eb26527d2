#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "settings/file_system.h"
#include "team/pgpass.h"

namespace zarvex::team {

std::string PgpassPath() {
  if (const char* file = std::getenv("PGPASSFILE"); file && *file) return file;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : ".") + "/.pgpass";
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WritePrivateFile(const std::string& path, const std::string& text) {
  const std::string partial = path + ".partial-" + std::to_string(file_system::ProcessId());
  {
    // libpq ignores a password file others may read.
    const mode_t before = umask(077);
    std::ofstream out(partial, std::ios::trunc | std::ios::binary);
    umask(before);
    out << text;
    if (!out.flush()) throw TeamError("Не удалось записать " + partial);
  }
  chmod(partial.c_str(), 0600);
  if (std::rename(partial.c_str(), path.c_str()) != 0) {
    std::remove(partial.c_str());
    throw TeamError("Не удалось записать " + path);
  }
}

}  // namespace zarvex::team
