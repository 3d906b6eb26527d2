#include "sites/site_schema.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "settings/file_ops.h"
#include "settings/file_system.h"
#include "sites/field_changes.h"
#include "sites/utc_time.h"

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

// Version 3: times in UTC; every edit of a site's field is a change of its
// own, naming the changes it replaced, so a merge is a union of changes and
// a conflict is a field with two heads.
const char* const kTo3 = R"sql(
CREATE TABLE site_changes(
  id INTEGER PRIMARY KEY,
  change_id TEXT NOT NULL UNIQUE,
  site_uid TEXT NOT NULL,
  field TEXT NOT NULL,
  value TEXT NOT NULL,
  made TEXT NOT NULL,
  technician TEXT NOT NULL DEFAULT '',
  laptop TEXT NOT NULL DEFAULT '');
CREATE INDEX site_changes_by_field ON site_changes(site_uid, field);
CREATE TABLE site_change_parents(
  change_id TEXT NOT NULL,
  parent_id TEXT NOT NULL,
  PRIMARY KEY(change_id, parent_id)) WITHOUT ROWID;
CREATE INDEX site_change_parents_by_parent ON site_change_parents(parent_id);
)sql";

const char* const kSqliteMagic = "SQLite format 3";

uint32_t BigEndian(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

// A stored time of an earlier schema (local, without a zone) in UTC; text
// that is no time at all sorts as the oldest.
std::string Converted(const std::string& local) {
  if (UtcMillis(local)) return local;
  return UtcFromLocalText(local).value_or("2000-01-01T00:00:00.000Z");
}

void ConvertTimes(TDatabase& db, const char* table, const char* column) {
  std::vector<std::pair<int64_t, std::string>> rows;
  {
    TStatement s = db.Prepare(std::string("SELECT id, ") + column + " FROM " + table);
    while (s.Step()) rows.emplace_back(s.Int(0), s.Text(1));
  }
  TStatement update = db.Prepare(std::string("UPDATE OR IGNORE ") + table + " SET " + column + " = ?2 WHERE id = ?1");
  for (const auto& [id, text] : rows) {
    std::string utc = Converted(text);
    // Two local times an hour apart across a clock change can meet in UTC;
    // the later is moved on by a millisecond rather than lost.
    for (int bump = 0;; ++bump) {
      update.Bind(1, id).Bind(2, utc).Run();
      if (db.Changes() > 0 || bump > 1000) break;
      utc = UtcText(*UtcMillis(utc) + 1);
    }
  }
}

void MigrateTo3(TDatabase& db) {
  db.Exec(kTo3);
  ConvertTimes(db, "sites", "created");
  ConvertTimes(db, "sites", "changed");
  ConvertTimes(db, "panels", "last_read");
  ConvertTimes(db, "snapshots", "taken");
  // Each field's value becomes its first change, named by its value alone,
  // so two laptops that held the same site agree on it; a conflict an
  // earlier import kept adds the other value as a second head.
  struct TOld {
    std::string uid, field, value;
  };
  std::vector<TOld> old;
  {
    TStatement s = db.Prepare("SELECT uid, name, customer, address, phones, notes FROM sites");
    while (s.Step()) {
      for (int i = 0; i < kSiteFieldCount; ++i) old.push_back({s.Text(0), kSiteFieldNames[i], s.Text(i + 1)});
    }
    TStatement c = db.Prepare(
        "SELECT s.uid, c.field, c.imported FROM site_conflicts c JOIN sites s ON s.id = c.site_id");
    while (c.Step()) {
      const int field = FieldByWords(c.Text(1));
      if (field >= 0) old.push_back({c.Text(0), kSiteFieldNames[field], c.Text(2)});
    }
  }
  for (const TOld& o : old) {
    TFieldChange change;
    change.siteUid = o.uid;
    change.field = o.field;
    change.value = o.value;
    InsertChange(db, change);
  }
  db.Exec("DROP TABLE site_conflicts");
}

}  // namespace

TFileKind InspectHeader(const std::string& path) {
  FileOps& ops = SystemFileOps();
  const int fd = ops.Open(path.c_str(), file_system::ReadFlags(), 0);
  if (fd < 0) return errno == ENOENT ? TFileKind::Missing : TFileKind::Damaged;
  unsigned char header[100] = {};
  size_t got = 0;
  while (got < sizeof header) {
    const ssize_t n = ops.Read(fd, header + got, sizeof header - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ops.Close(fd);
  if (got == 0) return TFileKind::Empty;
  if (got < sizeof header || std::memcmp(header, kSqliteMagic, 16) != 0) return TFileKind::Damaged;
  const uint32_t applicationId = BigEndian(header + 68);
  if (applicationId != 0 && applicationId != static_cast<uint32_t>(kApplicationId)) return TFileKind::Foreign;
  return TFileKind::Sites;
}

int UserVersion(TDatabase& db) {
  TStatement s = db.Prepare("PRAGMA user_version");
  return s.Step() ? static_cast<int>(s.Int(0)) : 0;
}

TFileKind InspectDatabase(TDatabase& db, int currentVersion) {
  // Reading the schema is the first touch: a damaged file fails here,
  // before anything could be written.
  try {
    TStatement tables = db.Prepare("SELECT count(*) FROM sqlite_schema");
    const int64_t count = tables.Step() ? tables.Int(0) : 0;
    TStatement app = db.Prepare("PRAGMA application_id");
    const int64_t id = app.Step() ? app.Int(0) : 0;
    if (id == 0 && count == 0) return TFileKind::Empty;
    if (id != kApplicationId) return TFileKind::Foreign;
    return UserVersion(db) > currentVersion ? TFileKind::Newer : TFileKind::Sites;
  } catch (const SitesInterrupted&) {
    throw;
  } catch (const SitesError&) {
    return TFileKind::Damaged;
  }
}

void CreateVersion(TDatabase& db, int version) {
  TTransaction t(db);
  if (UserVersion(db) == 0) {
    db.Exec(kVersion1);
    db.Exec("PRAGMA application_id = " + std::to_string(kApplicationId));
  }
  if (version >= 2 && UserVersion(db) < 2) db.Exec(kTo2);
  db.Exec("PRAGMA user_version = " + std::to_string(version));
  t.Commit();
}

void CreateOrMigrate(TDatabase& db, int currentVersion) {
  TTransaction t(db);
  // Read again under the write lock: another program may have just made it.
  const int version = UserVersion(db);
  if (version == currentVersion) return;
  if (version == 0) {
    db.Exec(kVersion1);
    db.Exec("PRAGMA application_id = " + std::to_string(kApplicationId));
  }
  if (version < 2) db.Exec(kTo2);
  if (version < 3) MigrateTo3(db);
  db.Exec("PRAGMA user_version = " + std::to_string(currentVersion));
  db.CheckStop();
  t.Commit();
}

TSchemaRows SchemaOf(TDatabase& db) {
  TSchemaRows rows;
  TStatement s = db.Prepare("SELECT type, name, tbl_name, coalesce(sql, '') FROM sqlite_schema");
  while (s.Step()) rows.emplace(s.Text(0), s.Text(1), s.Text(2), s.Text(3));
  return rows;
}

TSchemaRows KnownSchema(int version) {
  TDatabase db(":memory:", TDatabase::Mode::OpenOrCreate);
  if (version >= kSchemaVersion) {
    CreateOrMigrate(db, kSchemaVersion);
  } else {
    CreateVersion(db, version);
  }
  return SchemaOf(db);
}

}  // namespace zarvex::sites
