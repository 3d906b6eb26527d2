#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <system_error>

#include "sites/database_path.h"
#include "windows/utf16.h"

namespace zarvex::sites {

std::string DefaultDatabasePath() {
  PWSTR roaming = nullptr;
  std::wstring base = L".";
  if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &roaming) == S_OK) base = roaming;
  CoTaskMemFree(roaming);
  const std::wstring folder = base + L"\\Zarvex Settings";
  std::error_code ignored;  // a folder that cannot be made is told when the file is opened
  std::filesystem::create_directories(folder, ignored);
  return windows::Utf8(folder + L"\\sites.db");
}

}  // namespace zarvex::sites
