#include <cstdlib>
#include <ctime>

#include "time_zone.h"

namespace zarvex::sites::test {

void SetTimeZone(const char* tz) {
  _putenv_s("TZ", tz ? tz : "");
  _tzset();
}

}  // namespace zarvex::sites::test
