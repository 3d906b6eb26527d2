#pragma once

#include <string>
#include <vector>

#include "sites/sqlite_db.h"

namespace zarvex::sites {

// A whole copy of the database, consistent while others write, into a new
// file that replaces `file` only once it is done. The wait for writers is
// bounded and stoppable.
void CopyDatabase(TDatabase& source, const std::string& file);

// The rolling copies: "<database>.backups/sites-YYYY-MM-DD.db", one a day
// (UTC), the newest `keep` kept.
std::string BackupFolder(const std::string& databasePath);
void KeepDailyBackup(TDatabase& source, const std::string& databasePath, int keep);
std::vector<std::string> Backups(const std::string& databasePath);  // newest first
// The newest copy that is a whole site database; empty when none is.
std::string NewestHealthyBackup(const std::string& databasePath);
// Whether a file is a whole site database, checked without writing to it;
// the reason when it is not.
bool IsHealthy(const std::string& file, std::string* why = nullptr);

// Puts `backup` in the database's place. The damaged file (with its
// journal) is kept, renamed "<database>.damaged-<UTC time>", never
// overwritten; returns that name.
std::string RestoreFromBackup(const std::string& databasePath, const std::string& backup);

}  // namespace zarvex::sites
