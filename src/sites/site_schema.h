#pragma once

#include "sites/sqlite_db.h"

namespace zarvex::sites {

// 'ZXS1': tells a site database from any other SQLite file.
inline constexpr int kApplicationId = 0x5A585331;

// What a file at the database's path is, found without writing to it.
enum class TFileKind { Empty, Sites, Foreign, Newer };
TFileKind InspectDatabase(TDatabase& db, int currentVersion);

// Creates the current schema in an empty database, or brings an older one
// up to it, in one transaction.
void CreateOrMigrate(TDatabase& db, int currentVersion);

// The first schema, as the first program with sites made it; kept so that
// its migration stays tested.
void CreateVersion1(TDatabase& db);

}  // namespace zarvex::sites
