#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "sites/field_changes.h"
#include "sites/site_store.h"

namespace zarvex::sites {

std::string TechnicianName() {
  // getpwuid's shared buffer races when two stores file at once.
  long hint = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(hint > 0 ? static_cast<size_t>(hint) : 16384);
  passwd entry{};
  passwd* user = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &user) == 0 && user &&
      user->pw_name)
    return user->pw_name;
  const char* name = std::getenv("USER");
  return name ? name : "";
}

std::string LaptopName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace zarvex::sites
