#include "sites/site_store.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>

#include "settings/local_time.h"
#include "settings/settings_format.h"
#include "sites/search_text.h"
#include "sites/sha256.h"
#include "sites/site_rows.h"
#include "sites/site_schema.h"

namespace zarvex::sites {

namespace {

const char* const kFactoryId = "123456";

// The panel's single-byte texts, where they identify a panel, are digits,
// '+' and letters; anything else cannot be matched across databases.
std::string Printable(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
  return out;
}

std::string PhoneOrNothing(const std::string& phone) {
  const std::string p = Printable(phone);
  return (p.empty() || p == "*") ? std::string() : p;
}

std::string NewUid() {
  std::random_device seed;
  std::mt19937_64 random(seed() ^ static_cast<uint64_t>(
                                      std::chrono::steady_clock::now().time_since_epoch().count()));
  char text[40];
  std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(random()),
                static_cast<unsigned long long>(random()));
  return text;
}

TSite SiteOf(const TStatement& s) {
  TSite site;
  site.id = s.Int(0);
  site.uid = s.Text(1);
  site.name = s.Text(2);
  site.customer = s.Text(3);
  site.address = s.Text(4);
  site.phones = s.Text(5);
  site.notes = s.Text(6);
  site.created = s.Text(7);
  site.changed = s.Text(8);
  site.technician = s.Text(9);
  return site;
}
const char* const kSiteColumns = "id, uid, name, customer, address, phones, notes, created, changed, technician";

}  // namespace

TSnapshotRecord SnapshotOf(const TStatement& s) {
  TSnapshotRecord r;
  r.id = s.Int(0);
  if (!s.IsNull(1)) r.siteId = s.Int(1);
  r.hash = s.Text(2);
  r.content = s.Text(3);
  r.kind = s.Text(4);
  r.taken = s.Text(5);
  r.programVersion = s.Text(6);
  r.technician = s.Text(7);
  r.model = s.Text(8);
  r.firmware = static_cast<int>(s.Int(9));
  return r;
}
const char* const kSnapshotColumns =
    "id, site_id, hash, content, kind, taken, program_version, technician, model, firmware";

namespace {

TSitePanel PanelOf(const TStatement& s) {
  TSitePanel p;
  p.id = s.Int(0);
  p.siteId = s.Int(1);
  p.identity.model = s.Text(2);
  p.identity.firmware = static_cast<int>(s.Int(3));
  p.identity.panelId = s.Text(4);
  p.identity.serverPhone = s.Text(5);
  p.identity.checkPhone = s.Text(6);
  p.lastRead = s.Text(7);
  return p;
}
const char* const kPanelColumns = "id, site_id, model, firmware, panel_id, server_phone, check_phone, last_read";

bool SameIdentity(const TPanelIdentity& a, const TPanelIdentity& b) {
  if (!a.panelId.empty() || !b.panelId.empty()) return a.panelId == b.panelId;
  return a.serverPhone == b.serverPhone && a.checkPhone == b.checkPhone;
}

}  // namespace

TPanelIdentity IdentityOf(const TCFG& cfg) {
  TPanelIdentity id;
  id.firmware = cfg.FirmwareVersion;
  id.model = ModelText(cfg.FirmwareVersion);
  const std::string panelId = cfg.VpnAndId.size() > 1 ? Printable(cfg.VpnAndId.substr(1)) : std::string();
  if (panelId != kFactoryId) id.panelId = panelId;
  id.serverPhone = PhoneOrNothing(cfg.Phone[0]);
  id.checkPhone = PhoneOrNothing(cfg.Phone[7]);
  return id;
}

std::string ModelText(int firmwareVersion) {
  if (firmwareVersion <= 0) return {};
  return firmwareVersion >= 500 ? "Zarvex GSM ZX-4110" : "Zarvex GSM";
}

std::string KindWords(const std::string& kind) {
  if (kind == "read") return "чтение";
  if (kind == "written") return "запись";
  if (kind == "verify") return "проверка";
  if (kind == "reset") return "до сброса";
  if (kind == "imported") return "из истории";
  return kind;
}

std::string NowText() {
  // To the millisecond: two reads of an unchanged panel within a second are
  // two snapshots, not one.
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  const std::tm t = LocalTime(seconds);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &t);
  char withMillis[48];
  std::snprintf(withMillis, sizeof withMillis, "%s.%03d", text, static_cast<int>(millis));
  return withMillis;
}

std::string ProgramVersion() { return "3.0.8"; }

struct TSiteStore::Impl {
  explicit Impl(const std::string& path) : db(path, TDatabase::Mode::OpenOrCreate) {}
  TDatabase db;

  void Reindex(int64_t siteId) {
    TStatement site = db.Prepare("SELECT name, customer, address, phones, notes FROM sites WHERE id = ?1");
    site.Bind(1, siteId);
    if (!site.Step()) return;
    std::string text;
    for (int i = 0; i < 5; ++i) text += FoldForSearch(site.Text(i)) + "\n";
    text += PhoneDigits(site.Text(3)) + "\n";
    TStatement panels = db.Prepare("SELECT panel_id, server_phone, check_phone FROM panels WHERE site_id = ?1");
    panels.Bind(1, siteId);
    while (panels.Step()) {
      for (int i = 0; i < 3; ++i) text += FoldForSearch(panels.Text(i)) + "\n";
      text += PhoneDigits(panels.Text(1)) + "\n" + PhoneDigits(panels.Text(2)) + "\n";
    }
    db.Prepare("UPDATE sites SET search = ?2 WHERE id = ?1").Bind(1, siteId).Bind(2, text).Run();
  }

  // The site's panel with this identity is brought up to date, or added.
  bool KeepPanel(int64_t siteId, const TPanelIdentity& identity, const std::string& when) {
    if (identity.panelId.empty() && identity.serverPhone.empty() && identity.checkPhone.empty()) return false;
    TStatement same = db.Prepare(std::string("SELECT ") + kPanelColumns + " FROM panels WHERE site_id = ?1");
    same.Bind(1, siteId);
    while (same.Step()) {
      const TSitePanel p = PanelOf(same);
      if (!SameIdentity(p.identity, identity)) continue;
      if (p.lastRead > when) return false;  // an older read changes nothing
      db.Prepare("UPDATE panels SET model = ?2, firmware = ?3, panel_id = ?4, server_phone = ?5, "
                 "check_phone = ?6, last_read = ?7 WHERE id = ?1")
          .Bind(1, p.id).Bind(2, identity.model).Bind(3, int64_t{identity.firmware})
          .Bind(4, identity.panelId).Bind(5, identity.serverPhone).Bind(6, identity.checkPhone)
          .Bind(7, when).Run();
      Reindex(siteId);
      return false;
    }
    db.Prepare("INSERT INTO panels(site_id, model, firmware, panel_id, server_phone, check_phone, last_read) "
               "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)")
        .Bind(1, siteId).Bind(2, identity.model).Bind(3, int64_t{identity.firmware})
        .Bind(4, identity.panelId).Bind(5, identity.serverPhone).Bind(6, identity.checkPhone)
        .Bind(7, when).Run();
    Reindex(siteId);
    return true;
  }

  // Inserts unless the same snapshot is there; returns whether it was added.
  bool InsertSnapshot(TSnapshotRecord& r) {
    TStatement insert = db.Prepare(
        "INSERT OR IGNORE INTO snapshots(site_id, hash, content, kind, taken, program_version, technician, "
        "model, firmware) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    insert.Bind(1, r.siteId).Bind(2, r.hash).Bind(3, r.content).Bind(4, r.kind).Bind(5, r.taken)
        .Bind(6, r.programVersion).Bind(7, r.technician).Bind(8, r.model).Bind(9, int64_t{r.firmware});
    insert.Run();
    const bool added = db.Changes() > 0;
    TStatement id = db.Prepare("SELECT id, site_id FROM snapshots WHERE hash = ?1 AND taken = ?2 AND kind = ?3");
    id.Bind(1, r.hash).Bind(2, r.taken).Bind(3, r.kind);
    if (id.Step()) {
      r.id = id.Int(0);
      r.siteId = id.IsNull(1) ? std::nullopt : std::optional<int64_t>(id.Int(1));
    }
    return added;
  }
};

TSiteStore::TSiteStore(const std::string& path) : impl_(std::make_unique<Impl>(path)) {
  TDatabase& db = impl_->db;
  TFileKind kind;
  try {
    kind = InspectDatabase(db, kSchemaVersion);
  } catch (const SitesError&) {
    throw SitesError("Файл " + path +
                     " повреждён или не является базой объектов. Он не изменён; программа работает без "
                     "объектов.");
  }
  if (kind == TFileKind::Foreign) {
    throw SitesError("Файл " + path + " — не база объектов Zarvex. Он не изменён; программа работает без объектов.");
  }
  if (kind == TFileKind::Newer) {
    throw SitesError("База объектов " + path +
                     " создана более новой версией программы. Она не изменена; программа работает без объектов.");
  }
  db.Exec("PRAGMA journal_mode = WAL");
  db.Exec("PRAGMA foreign_keys = ON");
  CreateOrMigrate(db, kSchemaVersion);
}

TSiteStore::~TSiteStore() = default;

const std::string& TSiteStore::Path() const { return impl_->db.Path(); }
TDatabase& TSiteStore::Database() { return impl_->db; }

TSite TSiteStore::CreateSite(TSite site) {
  if (site.name.empty()) throw SitesError("У объекта должно быть название");
  TDatabase& db = impl_->db;
  TTransaction t(db);
  if (site.uid.empty()) site.uid = NewUid();
  const std::string now = NowText();
  if (site.created.empty()) site.created = now;
  if (site.changed.empty()) site.changed = now;
  if (site.technician.empty()) site.technician = TechnicianName();
  db.Prepare("INSERT INTO sites(uid, name, customer, address, phones, notes, created, changed, technician) "
             "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)")
      .Bind(1, site.uid).Bind(2, site.name).Bind(3, site.customer).Bind(4, site.address).Bind(5, site.phones)
      .Bind(6, site.notes).Bind(7, site.created).Bind(8, site.changed).Bind(9, site.technician).Run();
  site.id = db.LastInsertId();
  impl_->Reindex(site.id);
  t.Commit();
  return site;
}

void TSiteStore::UpdateSite(const TSite& site) {
  if (site.name.empty()) throw SitesError("У объекта должно быть название");
  TDatabase& db = impl_->db;
  TTransaction t(db);
  db.Prepare("UPDATE sites SET name = ?2, customer = ?3, address = ?4, phones = ?5, notes = ?6, changed = ?7, "
             "technician = ?8 WHERE id = ?1")
      .Bind(1, site.id).Bind(2, site.name).Bind(3, site.customer).Bind(4, site.address).Bind(5, site.phones)
      .Bind(6, site.notes).Bind(7, NowText()).Bind(8, TechnicianName()).Run();
  if (db.Changes() == 0) throw SitesError("Объект не найден: " + site.name);
  impl_->Reindex(site.id);
  t.Commit();
}

std::optional<TSite> TSiteStore::Site(int64_t id) {
  TStatement s = impl_->db.Prepare(std::string("SELECT ") + kSiteColumns + " FROM sites WHERE id = ?1");
  s.Bind(1, id);
  if (!s.Step()) return std::nullopt;
  return SiteOf(s);
}

std::optional<TSite> TSiteStore::SiteByName(const std::string& name) {
  TStatement s = impl_->db.Prepare(std::string("SELECT ") + kSiteColumns + " FROM sites WHERE name = ?1 ORDER BY id");
  s.Bind(1, name);
  if (s.Step()) return SiteOf(s);
  // Else the one site whose name matches without regard to case.
  const std::string folded = FoldForSearch(name);
  std::optional<TSite> found;
  for (const TSite& site : Sites()) {
    if (FoldForSearch(site.name) != folded) continue;
    if (found) return std::nullopt;  // two: the name does not say which
    found = site;
  }
  return found;
}

std::vector<TSite> TSiteStore::Sites() { return Find({}, -1); }

std::vector<TSite> TSiteStore::Find(const std::string& text, int limit) {
  TStatement s = impl_->db.Prepare(std::string("SELECT ") + kSiteColumns +
                                   " FROM sites WHERE ?1 = '' OR instr(search, ?1) > 0 "
                                   "ORDER BY name COLLATE NOCASE, id LIMIT ?2");
  s.Bind(1, FoldForSearch(text)).Bind(2, int64_t{limit});
  std::vector<TSite> sites;
  while (s.Step()) sites.push_back(SiteOf(s));
  return sites;
}

std::vector<TSitePanel> TSiteStore::Panels(int64_t siteId) {
  TStatement s = impl_->db.Prepare(std::string("SELECT ") + kPanelColumns +
                                   " FROM panels WHERE site_id = ?1 ORDER BY last_read DESC, id");
  s.Bind(1, siteId);
  std::vector<TSitePanel> panels;
  while (s.Step()) panels.push_back(PanelOf(s));
  return panels;
}

std::optional<TSite> TSiteStore::Match(const TPanelIdentity& identity) {
  TDatabase& db = impl_->db;
  std::optional<int64_t> siteId;
  if (!identity.panelId.empty()) {
    TStatement s = db.Prepare("SELECT site_id FROM panels WHERE panel_id = ?1 ORDER BY last_read DESC LIMIT 1");
    s.Bind(1, identity.panelId);
    if (s.Step()) siteId = s.Int(0);
  }
  if (!siteId && !identity.serverPhone.empty() && !identity.checkPhone.empty()) {
    TStatement s = db.Prepare("SELECT site_id FROM panels WHERE server_phone = ?1 AND check_phone = ?2 "
                              "ORDER BY last_read DESC LIMIT 1");
    s.Bind(1, identity.serverPhone).Bind(2, identity.checkPhone);
    if (s.Step()) siteId = s.Int(0);
  }
  return siteId ? Site(*siteId) : std::nullopt;
}

TSnapshotRecord TSiteStore::FileSnapshot(const std::string& content, const std::string& kind,
                                         std::optional<int64_t> siteId, const std::string& taken) {
  TCFG cfg;
  ParseSettings(content, cfg);
  TSnapshotRecord r;
  r.siteId = siteId;
  r.hash = Sha256Hex(content);
  r.content = content;
  r.kind = kind;
  r.taken = taken.empty() ? NowText() : taken;
  r.programVersion = ProgramVersion();
  r.technician = TechnicianName();
  r.model = ModelText(cfg.FirmwareVersion);
  r.firmware = cfg.FirmwareVersion;
  TTransaction t(impl_->db);
  impl_->InsertSnapshot(r);
  if (siteId && kind == "read") impl_->KeepPanel(*siteId, IdentityOf(cfg), r.taken);
  t.Commit();
  return r;
}

void TSiteStore::Refile(int64_t snapshotId, std::optional<int64_t> siteId) {
  TDatabase& db = impl_->db;
  TTransaction t(db);
  db.Prepare("UPDATE snapshots SET site_id = ?2 WHERE id = ?1").Bind(1, snapshotId).Bind(2, siteId).Run();
  const auto r = Snapshot(snapshotId);
  if (r && siteId && r->kind == "read") {
    TCFG cfg;
    ParseSettings(r->content, cfg);
    impl_->KeepPanel(*siteId, IdentityOf(cfg), r->taken);
  }
  t.Commit();
}

std::vector<TSnapshotRecord> TSiteStore::Snapshots(std::optional<int64_t> siteId, int limit) {
  if (!siteId) return Unfiled(limit);
  TStatement s = impl_->db.Prepare(std::string("SELECT ") + kSnapshotColumns +
                                   " FROM snapshots WHERE site_id = ?1 ORDER BY taken DESC, id DESC LIMIT ?2");
  s.Bind(1, *siteId).Bind(2, int64_t{limit});
  std::vector<TSnapshotRecord> list;
  while (s.Step()) list.push_back(SnapshotOf(s));
  return list;
}

std::vector<TSnapshotRecord> TSiteStore::Unfiled(int limit) {
  TStatement s = impl_->db.Prepare(std::string("SELECT ") + kSnapshotColumns +
                                   " FROM snapshots WHERE site_id IS NULL ORDER BY taken DESC, id DESC LIMIT ?1");
  s.Bind(1, int64_t{limit});
  std::vector<TSnapshotRecord> list;
  while (s.Step()) list.push_back(SnapshotOf(s));
  return list;
}

std::optional<TSnapshotRecord> TSiteStore::Snapshot(int64_t id) {
  TStatement s = impl_->db.Prepare(std::string("SELECT ") + kSnapshotColumns + " FROM snapshots WHERE id = ?1");
  s.Bind(1, id);
  if (!s.Step()) return std::nullopt;
  return SnapshotOf(s);
}

bool TSiteStore::AddSnapshot(TSnapshotRecord& record) {
  TTransaction t(impl_->db);
  const bool added = impl_->InsertSnapshot(record);
  t.Commit();
  return added;
}

bool TSiteStore::KeepPanel(int64_t siteId, const TPanelIdentity& identity, const std::string& when) {
  TTransaction t(impl_->db);
  const bool added = impl_->KeepPanel(siteId, identity, when);
  t.Commit();
  return added;
}

bool TSiteStore::AddConflict(const TSiteConflict& c) {
  impl_->db.Prepare("INSERT OR IGNORE INTO site_conflicts(site_id, field, local, imported, found) "
                    "VALUES(?1, ?2, ?3, ?4, ?5)")
      .Bind(1, c.siteId).Bind(2, c.field).Bind(3, c.local).Bind(4, c.imported).Bind(5, c.when).Run();
  return impl_->db.Changes() > 0;
}

std::optional<TSite> TSiteStore::SiteByUid(const std::string& uid) {
  TStatement s = impl_->db.Prepare(std::string("SELECT ") + kSiteColumns + " FROM sites WHERE uid = ?1");
  s.Bind(1, uid);
  if (!s.Step()) return std::nullopt;
  return SiteOf(s);
}

std::vector<TSiteConflict> TSiteStore::Conflicts(int64_t siteId) {
  TStatement s = impl_->db.Prepare(
      "SELECT id, site_id, field, local, imported, found FROM site_conflicts WHERE site_id = ?1 ORDER BY id");
  s.Bind(1, siteId);
  std::vector<TSiteConflict> list;
  while (s.Step()) list.push_back({s.Int(0), s.Int(1), s.Text(2), s.Text(3), s.Text(4), s.Text(5)});
  return list;
}

std::string TSiteStore::Meta(const std::string& key) {
  TStatement s = impl_->db.Prepare("SELECT value FROM meta WHERE key = ?1");
  s.Bind(1, key);
  return s.Step() ? s.Text(0) : std::string();
}

void TSiteStore::SetMeta(const std::string& key, const std::string& value) {
  impl_->db.Prepare("INSERT INTO meta(key, value) VALUES(?1, ?2) ON CONFLICT(key) DO UPDATE SET value = ?2")
      .Bind(1, key).Bind(2, value).Run();
}

void TSiteStore::Backup(const std::string& file) {
  TDatabase target(file, TDatabase::Mode::OpenOrCreate);
  sqlite3_backup* backup = sqlite3_backup_init(target.Handle(), "main", impl_->db.Handle(), "main");
  if (!backup) target.Fail("Не удалось начать копию базы объектов");
  // Pages in slices, so a writer waiting meanwhile gets its turn.
  int rc;
  do {
    rc = sqlite3_backup_step(backup, 256);
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) sqlite3_sleep(20);
  } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
  sqlite3_backup_finish(backup);
  if (rc != SQLITE_DONE) target.Fail("Не удалось сделать копию базы объектов");
}

}  // namespace zarvex::sites
