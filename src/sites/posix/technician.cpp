#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "sites/site_store.h"

namespace zarvex::sites {

std::string TechnicianName() {
  if (const passwd* user = getpwuid(getuid()); user && user->pw_name) return user->pw_name;
  const char* name = std::getenv("USER");
  return name ? name : "";
}

}  // namespace zarvex::sites

#include "sites/field_changes.h"

namespace zarvex::sites {

std::string LaptopName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace zarvex::sites
