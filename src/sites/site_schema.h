#pragma once

#include <set>
#include <string>
#include <tuple>

#include "sites/sqlite_db.h"

namespace zarvex::sites {

// 'ZXS1': tells a site database from any other SQLite file.
inline constexpr int kApplicationId = 0x5A585331;
inline constexpr int kSchemaVersion = 3;

// What a file at the database's path is.
enum class TFileKind { Missing, Empty, Sites, Foreign, Newer, Damaged };

// From the file's first 100 bytes alone, without SQLite: a file that is no
// SQLite database, or another program's, is never opened by SQLite at all,
// so nothing (not even its journal) is ever written. Sites here means "an
// SQLite file that may be ours"; Damaged, a file that cannot be read or is
// no SQLite file at all. The open then asks SQLite, read-only.
TFileKind InspectHeader(const std::string& path);
// Through a read-only connection (which never checkpoints another's WAL).
TFileKind InspectDatabase(TDatabase& db, int currentVersion);
int UserVersion(TDatabase& db);

// Creates the current schema in an empty database, or brings an older one
// up to it, in one transaction that reads the version again once it holds
// the write lock: two programs starting at once create it once.
void CreateOrMigrate(TDatabase& db, int currentVersion);

// The first two schemas, as earlier programs made them; kept so that their
// migrations stay tested and their hand-over files stay readable.
void CreateVersion(TDatabase& db, int version);

// The schema rows (type, name, table, sql) a database of that version has,
// exactly: a file from elsewhere with anything else in it (a view, a
// trigger, a virtual table) is refused.
using TSchemaRows = std::set<std::tuple<std::string, std::string, std::string, std::string>>;
TSchemaRows KnownSchema(int version);
TSchemaRows SchemaOf(TDatabase& db);

}  // namespace zarvex::sites
