#include <windows.h>

#include "sites/site_store.h"
#include "windows/utf16.h"

namespace zarvex::sites {

// The wide call: a Cyrillic user name survives whatever the ANSI code page.
std::string TechnicianName() {
  wchar_t name[257] = {};
  DWORD size = 257;
  if (!GetUserNameW(name, &size)) return {};
  return windows::Utf8(name);
}

}  // namespace zarvex::sites
