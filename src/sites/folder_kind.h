#pragma once

#include <string>

namespace zarvex::sites {

// Where a database file is: SQLite's WAL needs shared memory between the
// programs that use it, which a network filesystem does not give, and a
// synchronising folder (OneDrive and the like) copies the database and its
// journal apart.
enum class TFolderKind { Local, Network, Synced };

// For the file or, when it does not exist, its folder (sites/posix, sites/windows).
TFolderKind FolderKindOf(const std::string& path);

// Whether a path runs through a folder a sync client keeps (by name).
bool InSyncedFolder(const std::string& path);

// What the installer is told about a database there (UTF-8); empty for Local.
std::string FolderWarning(TFolderKind kind, const std::string& path);

}  // namespace zarvex::sites
