#include "sites/site_schema.h"

#include <string>

namespace zarvex::sites {

namespace {

const char* const kVersion1 = R"sql(
CREATE TABLE sites(
  id INTEGER PRIMARY KEY,
  uid TEXT NOT NULL UNIQUE,
  name TEXT NOT NULL CHECK(name <> ''),
  customer TEXT NOT NULL DEFAULT '',
  address TEXT NOT NULL DEFAULT '',
  phones TEXT NOT NULL DEFAULT '',
  notes TEXT NOT NULL DEFAULT '',
  created TEXT NOT NULL,
  changed TEXT NOT NULL,
  technician TEXT NOT NULL DEFAULT '',
  search TEXT NOT NULL DEFAULT '');
CREATE TABLE panels(
  id INTEGER PRIMARY KEY,
  site_id INTEGER NOT NULL REFERENCES sites(id) ON DELETE CASCADE,
  model TEXT NOT NULL DEFAULT '',
  firmware INTEGER NOT NULL DEFAULT 0,
  panel_id TEXT NOT NULL DEFAULT '',
  server_phone TEXT NOT NULL DEFAULT '',
  check_phone TEXT NOT NULL DEFAULT '',
  last_read TEXT NOT NULL DEFAULT '');
CREATE INDEX panels_by_id ON panels(panel_id);
CREATE INDEX panels_by_phones ON panels(server_phone, check_phone);
CREATE TABLE snapshots(
  id INTEGER PRIMARY KEY,
  site_id INTEGER REFERENCES sites(id) ON DELETE SET NULL,
  hash TEXT NOT NULL,
  content BLOB NOT NULL,
  kind TEXT NOT NULL,
  taken TEXT NOT NULL,
  program_version TEXT NOT NULL DEFAULT '',
  technician TEXT NOT NULL DEFAULT '',
  model TEXT NOT NULL DEFAULT '',
  firmware INTEGER NOT NULL DEFAULT 0,
  UNIQUE(hash, taken, kind));
CREATE INDEX snapshots_by_site ON snapshots(site_id, taken);
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
)sql";

// Version 2: the edits an import found on both sides, kept side by side.
const char* const kTo2 = R"sql(
CREATE TABLE site_conflicts(
  id INTEGER PRIMARY KEY,
  site_id INTEGER NOT NULL REFERENCES sites(id) ON DELETE CASCADE,
  field TEXT NOT NULL,
  local TEXT NOT NULL,
  imported TEXT NOT NULL,
  found TEXT NOT NULL,
  UNIQUE(site_id, field, imported));
)sql";

int UserVersion(TDatabase& db) {
  TStatement s = db.Prepare("PRAGMA user_version");
  return s.Step() ? static_cast<int>(s.Int(0)) : 0;
}

}  // namespace

TFileKind InspectDatabase(TDatabase& db, int currentVersion) {
  // Reading the header is the first touch: a damaged file fails here,
  // before anything could be written.
  TStatement tables = db.Prepare("SELECT count(*) FROM sqlite_schema");
  const int64_t count = tables.Step() ? tables.Int(0) : 0;
  TStatement app = db.Prepare("PRAGMA application_id");
  const int64_t id = app.Step() ? app.Int(0) : 0;
  if (id == 0 && count == 0) return TFileKind::Empty;
  if (id != kApplicationId) return TFileKind::Foreign;
  return UserVersion(db) > currentVersion ? TFileKind::Newer : TFileKind::Sites;
}

void CreateVersion1(TDatabase& db) {
  TTransaction t(db);
  db.Exec(kVersion1);
  db.Exec("PRAGMA application_id = " + std::to_string(kApplicationId));
  db.Exec("PRAGMA user_version = 1");
  t.Commit();
}

void CreateOrMigrate(TDatabase& db, int currentVersion) {
  if (UserVersion(db) == 0) CreateVersion1(db);
  TTransaction t(db);
  int version = UserVersion(db);
  if (version < 2) db.Exec(kTo2);
  version = currentVersion;
  db.Exec("PRAGMA user_version = " + std::to_string(version));
  t.Commit();
}

}  // namespace zarvex::sites
