#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "settings/file_system.h"
#include "team/pgpass.h"
#include "windows/utf16.h"

namespace zarvex::team {

std::string PgpassPath() {
  if (const wchar_t* file = _wgetenv(L"PGPASSFILE"); file && *file) return windows::Utf8(file);
  // libpq's own place on Windows: the roaming AppData folder.
  PWSTR appData = nullptr;
  std::filesystem::path folder = L".";
  if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &appData) == S_OK) folder = appData;
  CoTaskMemFree(appData);
  return windows::Utf8((folder / L"postgresql" / L"pgpass.conf").wstring());
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(std::filesystem::path(windows::Wide(path)), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WritePrivateFile(const std::string& path, const std::string& text) {
  const std::filesystem::path file(windows::Wide(path));
  std::error_code ignored;  // a folder that cannot be made is told by the write
  std::filesystem::create_directories(file.parent_path(), ignored);
  std::filesystem::path partial = file;
  partial += L".partial-" + std::to_wstring(file_system::ProcessId());
  {
    std::ofstream out(partial, std::ios::trunc | std::ios::binary);
    out << text;
    if (!out.flush()) throw TeamError("Не удалось записать " + windows::Utf8(partial.wstring()));
  }
  // The profile folder is the user's own; replaced in one step.
  if (!MoveFileExW(partial.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    std::filesystem::remove(partial, ignored);
    throw TeamError("Не удалось записать " + path);
  }
}

}  // namespace zarvex::team
