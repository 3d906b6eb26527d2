#include <windows.h>

#include <string>

#include "sites/folder_kind.h"
#include "windows/utf16.h"

namespace zarvex::sites {

TFolderKind FolderKindOf(const std::string& path) {
  const std::wstring wide = windows::Wide(path);
  // \\server\share\… and \\?\UNC\… are remote whatever the drive table says.
  if (wide.rfind(L"\\\\?\\UNC\\", 0) == 0 || (wide.rfind(L"\\\\", 0) == 0 && wide.rfind(L"\\\\?\\", 0) != 0) ||
      wide.rfind(L"//", 0) == 0) {
    return TFolderKind::Network;
  }
  wchar_t full[MAX_PATH * 4] = {};
  wchar_t root[MAX_PATH * 4] = {};
  if (GetFullPathNameW(wide.c_str(), MAX_PATH * 4, full, nullptr) != 0 &&
      GetVolumePathNameW(full, root, MAX_PATH * 4) && GetDriveTypeW(root) == DRIVE_REMOTE) {
    return TFolderKind::Network;
  }
  if (InSyncedFolder(path)) return TFolderKind::Synced;
  // OneDrive's own folders, wherever the user put them.
  for (const wchar_t* variable : {L"OneDrive", L"OneDriveCommercial", L"OneDriveConsumer"}) {
    wchar_t value[MAX_PATH * 2] = {};
    const DWORD n = GetEnvironmentVariableW(variable, value, MAX_PATH * 2);
    if (n == 0 || n >= MAX_PATH * 2) continue;
    const std::wstring folder(value, n);
    if (_wcsnicmp(full, folder.c_str(), folder.size()) == 0) return TFolderKind::Synced;
  }
  return TFolderKind::Local;
}

}  // namespace zarvex::sites
