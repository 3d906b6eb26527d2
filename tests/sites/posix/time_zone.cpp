#include <cstdlib>
#include <ctime>

#include "time_zone.h"

namespace zarvex::sites::test {

void SetTimeZone(const char* tz) {
  if (tz) setenv("TZ", tz, 1);
  else unsetenv("TZ");
  tzset();
}

}  // namespace zarvex::sites::test
