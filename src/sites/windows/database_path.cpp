#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <system_error>

#include "sites/database_path.h"
#include "windows/utf16.h"

namespace zarvex::sites {

namespace {

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path) == S_OK) folder = path;
  CoTaskMemFree(path);
  return folder;
}

}  // namespace

std::string DefaultDatabasePath() {
  // The local AppData folder: the roaming one is often redirected to a file
  // server, where SQLite's journal is not safe.
  std::wstring local = KnownFolder(FOLDERID_LocalAppData);
  if (local.empty()) local = L".";
  const std::filesystem::path folder = std::filesystem::path(local) / L"Zarvex Settings";
  std::error_code ignored;  // a folder that cannot be made is told when the file is opened
  std::filesystem::create_directories(folder, ignored);
  const std::filesystem::path file = folder / L"sites.db";
  // An earlier program kept it in the roaming folder: it moves here once,
  // with its journal, unless a database is here already.
  const std::wstring roaming = KnownFolder(FOLDERID_RoamingAppData);
  if (!roaming.empty() && !std::filesystem::exists(file, ignored)) {
    const std::filesystem::path old = std::filesystem::path(roaming) / L"Zarvex Settings" / L"sites.db";
    if (std::filesystem::exists(old, ignored)) {
      std::filesystem::copy_file(old, file, ignored);
      for (const wchar_t* side : {L"-wal", L"-shm"}) {
        std::filesystem::path from = old, to = file;
        from += side;
        to += side;
        if (std::filesystem::exists(from, ignored)) std::filesystem::copy_file(from, to, ignored);
      }
      // Kept under another name, so an older program sees no database
      // there rather than a stale one.
      if (std::filesystem::exists(file, ignored)) {
        std::filesystem::path moved = old;
        moved += L".moved-to-local";
        std::filesystem::rename(old, moved, ignored);
      }
    }
  }
  return windows::Utf8(file.wstring());
}

}  // namespace zarvex::sites
