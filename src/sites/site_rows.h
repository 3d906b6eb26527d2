#pragma once

#include "sites/site_records.h"
#include "sites/sqlite_db.h"

namespace zarvex::sites {

// A snapshots row as the store and an imported file both hold it: select
// kSnapshotColumns, read the row with SnapshotOf.
extern const char* const kSnapshotColumns;
TSnapshotRecord SnapshotOf(const TStatement& row);

}  // namespace zarvex::sites
