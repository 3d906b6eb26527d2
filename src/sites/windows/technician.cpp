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

#include "sites/field_changes.h"

namespace zarvex::sites {

std::string LaptopName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &size)) return {};
  return windows::Utf8(name);
}

}  // namespace zarvex::sites
