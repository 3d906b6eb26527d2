#pragma once

namespace zarvex::sites::test {

// The process's zone as TZ names it ("XYZ-7": seven hours east); null puts
// the system's back (tests/sites/posix, tests/sites/windows).
void SetTimeZone(const char* tz);

}  // namespace zarvex::sites::test
