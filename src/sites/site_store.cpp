#include "sites/site_store.h"

#include <fcntl.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "settings/file_ops.h"
#include "settings/file_system.h"
#include "settings/settings_format.h"
#include "sites/folder_kind.h"
#include "sites/rolling_backups.h"
#include "sites/search_text.h"
#include "sites/sha256.h"
#include "sites/site_rows.h"
#include "sites/utc_time.h"
#include "sites/utf8_path.h"

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

std::string TSite::*const kMembers[kSiteFieldCount] = {&TSite::name, &TSite::customer, &TSite::address,
                                                       &TSite::phones, &TSite::notes};

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

int NameCollation(void*, int an, const void* a, int bn, const void* b) {
  return CompareNames(std::string(static_cast<const char*>(a), static_cast<size_t>(an)),
                      std::string(static_cast<const char*>(b), static_cast<size_t>(bn)));
}

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

// The header's read and write versions (bytes 18 and 19) are 2 in WAL mode.
bool InWalMode(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  char header[20] = {};
  return in.read(header, sizeof header) && header[18] == 2 && header[19] == 2;
}

int64_t FileSize(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(PathOf(path), error);
  return error ? 0 : static_cast<int64_t>(size);
}

bool Writable(const std::string& path) {
  FileOps& ops = SystemFileOps();
  const int fd = ops.Open(path.c_str(), O_RDWR, 0);
  if (fd < 0) return false;
  ops.Close(fd);
  return true;
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
  if (kind == "written-cut") return "запись прервана";
  if (kind == "verify") return "проверка";
  if (kind == "reset") return "до сброса";
  if (kind == "imported") return "из истории";
  return kind;
}

std::string ProgramVersion() { return "3.0.8"; }

struct TSiteStore::Impl {
  Impl(const std::string& path, const TStoreOptions& o) : path(path), options(o) {}

  std::string path;
  TStoreOptions options;
  std::unique_ptr<TDatabase> db;
  std::string warning;
  bool checked = false;
  // The day's copy and a journal change wait for a moment outside a
  // caller's transaction: neither can be made inside one.
  bool housekeepingDue = false;
  std::string backupProblem;

  std::unique_ptr<TDatabase> Connect(TDatabase::Mode mode) {
    auto c = std::make_unique<TDatabase>(path, mode);
    c->SetStop(options.stop);
    c->SetBusyWait(options.busyWait);
    sqlite3_create_collation(c->Handle(), "zx_name", SQLITE_UTF8, nullptr, &NameCollation);
    return c;
  }

  [[noreturn]] void Damaged(const std::string& why) {
    const std::string backup = NewestHealthyBackup(path);
    std::string text = "База объектов " + path + " повреждена (" + why + "). Она не изменена";
    text += backup.empty() ? "; сохранённых копий нет, программа работает без объектов."
                           : "; есть исправная копия " + backup + ": восстановите её (zarvex-cli sites restore).";
    throw SitesDamaged(text, backup);
  }

  void Open() {
    const TFileKind header = InspectHeader(path);
    if (header == TFileKind::Foreign) {
      throw SitesError("Файл " + path + " — не база объектов Zarvex. Он не изменён; программа работает без объектов.");
    }
    if (header == TFileKind::Damaged) {
      throw SitesError("Файл " + path +
                       " повреждён или не является базой объектов Zarvex. Он не изменён; программа работает без "
                       "объектов.");
    }
    const TFolderKind folder = FolderKindOf(path);
    warning = FolderWarning(folder, path);
    if (options.readOnly && header != TFileKind::Sites) {
      throw SitesError("Базы объектов " + path + " ещё нет: объектов пока нет.");
    }
    int version = 0;
    if (header == TFileKind::Sites) {
      // Read-only first: a damaged, foreign or newer file is found without
      // a write, and a read-only connection never checkpoints a WAL into it.
      db = Connect(TDatabase::Mode::ReadOnly);
      TFileKind kind = InspectDatabase(*db, kSchemaVersion);
      bool immutable = false;
      if (kind == TFileKind::Damaged && InWalMode(path)) {
        // A WAL database SQLite cannot read without making its -shm beside
        // it (a folder this user may not write): read as a file that cannot
        // change, which needs nothing beside it.
        db = Connect(TDatabase::Mode::Immutable);
        kind = InspectDatabase(*db, kSchemaVersion);
        immutable = kind != TFileKind::Damaged;
        if (immutable && FileSize(path + "-wal") > 0) {
          warning += std::string(warning.empty() ? "" : "\n") + "База объектов " + path +
                     " открыта только для чтения, без журнала " + path +
                     "-wal рядом с ней (в папку нельзя писать): последние изменения могут быть не видны.";
        }
      }
      switch (kind) {
        case TFileKind::Damaged: db.reset(); Damaged("не читается");
        case TFileKind::Foreign:
          db.reset();
          throw SitesError("Файл " + path + " — не база объектов Zarvex. Он не изменён; программа работает без объектов.");
        case TFileKind::Newer:
          db.reset();
          throw SitesError("База объектов " + path +
                           " создана более новой версией программы. Она не изменена; программа работает без объектов.");
        default: break;
      }
      version = UserVersion(*db);
      if (version == kSchemaVersion && (options.readOnly || immutable || !Writable(path))) return;  // to read only
      if (immutable) {
        db.reset();
        throw SitesReadOnly("База объектов " + path +
                            " создана прежней версией программы, а в её папку нельзя писать: её нельзя обновить. "
                            "Она не изменена.");
      }
      if (version < kSchemaVersion && !Writable(path)) {
        db.reset();
        throw SitesReadOnly("База объектов " + path +
                            " создана прежней версией программы, а прав на запись в неё нет: её нельзя обновить. "
                            "Она не изменена.");
      }
      db.reset();
    }
    db = Connect(TDatabase::Mode::OpenOrCreate);
    const std::string wanted = folder == TFolderKind::Local ? "wal" : "delete";
    if (version < kSchemaVersion) {
      if (version > 0) {
        std::string check;
        try {
          check = db->QuickCheck();
        } catch (const SitesDamaged& e) {
          check = e.what();
        }
        if (check != "ok") {
          db.reset();
          Damaged(check);
        }
        checked = true;
      }
      SetJournal(wanted);
      db->Exec("PRAGMA foreign_keys = ON");
      CreateOrMigrate(*db, kSchemaVersion);
      return;
    }
    db->Exec("PRAGMA foreign_keys = ON");
    // Only a change of mode writes; a database in the mode it should be is left alone.
    TStatement mode = db->Prepare("PRAGMA journal_mode");
    const std::string current = mode.Step() ? mode.Text(0) : std::string();
    if (current != wanted) pendingJournal = wanted;
  }

  std::string pendingJournal;

  void SetJournal(const std::string& wanted) {
    const std::string got = db->JournalMode(wanted);
    if (got != wanted) {
      throw SitesError("База объектов " + path + ": не удалось включить журнал " + wanted + " (SQLite оставил «" + got +
                       "»); ничего не изменено");
    }
  }

  void Reindex(int64_t siteId) {
    TStatement& site = db->Cached("SELECT name, customer, address, phones, notes FROM sites WHERE id = ?1");
    const TResetWhenDone resetSite(site);
    site.Bind(1, siteId);
    if (!site.Step()) return;
    std::string text;
    for (int i = 0; i < 5; ++i) text += FoldForSearch(site.Text(i)) + "\n";
    for (const std::string& phone : PhonesOf(site.Text(3))) text += PhoneSearchLines(phone);
    TStatement& panels = db->Cached("SELECT panel_id, server_phone, check_phone FROM panels WHERE site_id = ?1");
    const TResetWhenDone resetPanels(panels);
    panels.Bind(1, siteId);
    while (panels.Step()) {
      for (int i = 0; i < 3; ++i) text += FoldForSearch(panels.Text(i)) + "\n";
      text += PhoneSearchLines(panels.Text(1)) + PhoneSearchLines(panels.Text(2));
    }
    db->Cached("UPDATE sites SET search = ?2 WHERE id = ?1").Bind(1, siteId).Bind(2, text).Run();
  }

  // The site's columns from its fields' heads: one deterministic value per
  // field, so every database shows the same; changed and technician from
  // the newest change.
  void Recompute(int64_t siteId, const std::string& uid) {
    TSite s;
    std::string newest, technician;
    // A field's newest head holds its value and its newest time.
    for (int i = 0; i < kSiteFieldCount; ++i) {
      const std::optional<TFieldChange> head = TopHead(*db, uid, kSiteFieldNames[i]);
      if (!head) continue;
      s.*kMembers[i] = head->value;
      if (head->made > newest) {
        newest = head->made;
        technician = head->technician;
      }
    }
    TStatement& current = db->Cached(std::string("SELECT ") + kSiteColumns + " FROM sites WHERE id = ?1");
    current.Bind(1, siteId);
    if (!current.Step()) {
      current.Reset();
      return;
    }
    const TSite before = SiteOf(current);
    current.Reset();
    if (s.name.empty()) s.name = before.name;  // a name is required; an emptied one keeps the last
    if (newest.empty()) {
      newest = before.changed;
      technician = before.technician;
    }
    db->Cached("UPDATE sites SET name = ?2, customer = ?3, address = ?4, phones = ?5, notes = ?6, changed = ?7, "
               "technician = ?8 WHERE id = ?1")
        .Bind(1, siteId).Bind(2, s.name).Bind(3, s.customer).Bind(4, s.address).Bind(5, s.phones)
        .Bind(6, s.notes).Bind(7, std::max(newest, before.created)).Bind(8, technician).Run();
    Reindex(siteId);
  }

  std::vector<std::string> HeadIds(const std::string& uid, const char* field) {
    std::vector<std::string> ids;
    for (const TFieldChange& h : Heads(*db, uid, field)) ids.push_back(h.changeId);
    return ids;
  }

  void Change(const std::string& uid, int field, const std::string& value, const std::string& when) {
    TFieldChange c;
    c.siteUid = uid;
    c.field = kSiteFieldNames[field];
    c.value = value;
    c.parents = HeadIds(uid, kSiteFieldNames[field]);
    c.made = when;
    c.technician = TechnicianName();
    c.laptop = LaptopName();
    InsertChange(*db, c);
  }

  // The site's panel with this identity is brought up to date, or added.
  bool KeepPanel(int64_t siteId, const TPanelIdentity& identity, const std::string& when) {
    if (identity.panelId.empty() && identity.serverPhone.empty() && identity.checkPhone.empty()) return false;
    std::optional<TSitePanel> found;
    {
      TStatement& same = db->Cached(std::string("SELECT ") + kPanelColumns + " FROM panels WHERE site_id = ?1");
      const TResetWhenDone reset(same);
      same.Bind(1, siteId);
      while (same.Step()) {
        TSitePanel p = PanelOf(same);
        if (!SameIdentity(p.identity, identity)) continue;
        found = std::move(p);
        break;
      }
    }
    if (found) {
      const TSitePanel& p = *found;
      if (p.lastRead > when) return false;  // an older read changes nothing
      db->Cached("UPDATE panels SET model = ?2, firmware = ?3, panel_id = ?4, server_phone = ?5, "
                 "check_phone = ?6, last_read = ?7 WHERE id = ?1")
          .Bind(1, p.id).Bind(2, identity.model).Bind(3, int64_t{identity.firmware})
          .Bind(4, identity.panelId).Bind(5, identity.serverPhone).Bind(6, identity.checkPhone)
          .Bind(7, when).Run();
      Reindex(siteId);
      return false;
    }
    db->Cached("INSERT INTO panels(site_id, model, firmware, panel_id, server_phone, check_phone, last_read) "
               "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)")
        .Bind(1, siteId).Bind(2, identity.model).Bind(3, int64_t{identity.firmware})
        .Bind(4, identity.panelId).Bind(5, identity.serverPhone).Bind(6, identity.checkPhone)
        .Bind(7, when).Run();
    Reindex(siteId);
    return true;
  }

  // Inserts unless the same snapshot is there; returns whether it was added.
  bool InsertSnapshot(TSnapshotRecord& r) {
    TStatement& insert = db->Cached(
        "INSERT OR IGNORE INTO snapshots(site_id, hash, content, kind, taken, program_version, technician, "
        "model, firmware) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    insert.Bind(1, r.siteId).Bind(2, r.hash).Bind(3, r.content).Bind(4, r.kind).Bind(5, r.taken)
        .Bind(6, r.programVersion).Bind(7, r.technician).Bind(8, r.model).Bind(9, int64_t{r.firmware});
    insert.Run();
    const bool added = db->Changes() > 0;
    if (added) {
      r.id = db->LastInsertId();
      return true;
    }
    // Here before: its own id, and the site it is filed under, not the one asked.
    TStatement& id = db->Cached("SELECT id, site_id FROM snapshots WHERE hash = ?1 AND taken = ?2 AND kind = ?3");
    id.Bind(1, r.hash).Bind(2, r.taken).Bind(3, r.kind);
    if (id.Step()) {
      r.id = id.Int(0);
      r.siteId = id.IsNull(1) ? std::nullopt : std::optional<int64_t>(id.Int(1));
    }
    id.Reset();  // no read left open on the table
    return false;
  }
};

TSiteStore::TSiteStore(const std::string& path, const TStoreOptions& options)
    : impl_(std::make_unique<Impl>(path, options)) {
  // Programs making a new database at once: SQLite may answer busy at once,
  // without waiting, to keep two of them from waiting on each other. The
  // opening changes nothing it has not committed, so it is simply begun
  // again, within the same wait as any other.
  const auto end = std::chrono::steady_clock::now() + options.busyWait;
  for (int attempt = 0;; ++attempt) {
    try {
      impl_->Open();
      return;
    } catch (const SitesBusy&) {
      if (std::chrono::steady_clock::now() >= end || options.stop.Now()) throw;
    }
    impl_->db.reset();
    impl_->checked = false;
    impl_->pendingJournal.clear();
    std::this_thread::sleep_for(std::chrono::milliseconds(attempt < 10 ? 5 : 50));
  }
}

TSiteStore::~TSiteStore() = default;

const std::string& TSiteStore::Path() const { return impl_->path; }
bool TSiteStore::ReadOnly() const { return impl_->db->ReadOnly(); }
const std::string& TSiteStore::Warning() const { return impl_->warning; }
TDatabase& TSiteStore::Database() { return *impl_->db; }

void TSiteStore::BeforeWrite() {
  TDatabase& db = *impl_->db;
  if (db.ReadOnly()) {
    throw SitesReadOnly("База объектов " + impl_->path +
                        " открыта только для чтения (нет права записи): ничего не изменено.");
  }
  if (!impl_->checked) {
    std::string check;
    try {
      check = db.QuickCheck();
    } catch (const SitesDamaged& e) {
      impl_->Damaged(e.what());
    }
    if (check != "ok") impl_->Damaged(check);
    impl_->checked = true;
    impl_->housekeepingDue = true;
  }
  if (!impl_->housekeepingDue || db.InTransaction()) return;
  impl_->housekeepingDue = false;
  if (!impl_->pendingJournal.empty()) {
    impl_->SetJournal(impl_->pendingJournal);
    impl_->pendingJournal.clear();
  }
  try {
    KeepDailyBackup(db, impl_->path, impl_->options.dailyBackups);
  } catch (const SitesInterrupted&) {
    throw;
  } catch (const SitesError& e) {
    // The copy is a safety net: a full disk or a long hold by another
    // program must not cost the installer the filing itself.
    impl_->backupProblem = e.what();
  }
}

const std::string& TSiteStore::BackupProblem() const { return impl_->backupProblem; }

TSite TSiteStore::CreateSite(TSite site) {
  if (site.name.empty()) throw SitesError("У объекта должно быть название");
  BeforeWrite();
  TDatabase& db = *impl_->db;
  TTransaction t(db);
  if (site.uid.empty()) site.uid = NewUid();
  const std::string now = NowUtc();
  if (site.created.empty()) site.created = now;
  site.changed = now;
  site.technician = TechnicianName();
  site.id = AddSiteRow(site);
  for (int i = 0; i < kSiteFieldCount; ++i) impl_->Change(site.uid, i, site.*kMembers[i], now);
  impl_->Recompute(site.id, site.uid);
  t.Commit();
  return *Site(site.id);
}

int64_t TSiteStore::AddSiteRow(const TSite& site) {
  TDatabase& db = *impl_->db;
  db.Prepare("INSERT INTO sites(uid, name, customer, address, phones, notes, created, changed, technician) "
             "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)")
      .Bind(1, site.uid).Bind(2, site.name).Bind(3, site.customer).Bind(4, site.address).Bind(5, site.phones)
      .Bind(6, site.notes).Bind(7, site.created).Bind(8, site.changed.empty() ? site.created : site.changed)
      .Bind(9, site.technician).Run();
  return db.LastInsertId();
}

void TSiteStore::UpdateSite(const TSite& site, bool overwrite) {
  if (site.name.empty()) throw SitesError("У объекта должно быть название");
  BeforeWrite();
  TDatabase& db = *impl_->db;
  TTransaction t(db);
  const std::optional<TSite> here = Site(site.id);
  if (!here) throw SitesError("Объект не найден: " + site.name);
  if (!overwrite && !site.changed.empty() && here->changed != site.changed) {
    throw SitesChangedMeanwhile("Объект «" + here->name + "» изменён в другой программе (" + here->technician + ", " +
                                LocalText(here->changed) + ") после того, как вы его открыли.");
  }
  const std::string now = NowUtc();
  for (int i = 0; i < kSiteFieldCount; ++i) {
    if (site.*kMembers[i] != (*here).*kMembers[i]) impl_->Change(here->uid, i, site.*kMembers[i], now);
  }
  impl_->Recompute(here->id, here->uid);
  t.Commit();
}

void TSiteStore::Resolve(int64_t siteId, const std::string& field, const std::string& value) {
  const int index = FieldByWords(field);
  if (index < 0) throw SitesError("Нет такого поля объекта: " + field);
  if (index == 0 && value.empty()) throw SitesError("У объекта должно быть название");
  BeforeWrite();
  TDatabase& db = *impl_->db;
  TTransaction t(db);
  const std::optional<TSite> here = Site(siteId);
  if (!here) throw SitesError("Объект не найден");
  impl_->Change(here->uid, index, value, NowUtc());
  impl_->Recompute(here->id, here->uid);
  t.Commit();
}

std::optional<TSite> TSiteStore::Site(int64_t id) {
  TStatement& s = impl_->db->Cached(std::string("SELECT ") + kSiteColumns + " FROM sites WHERE id = ?1");
  const TResetWhenDone reset(s);
  s.Bind(1, id);
  if (!s.Step()) return std::nullopt;
  return SiteOf(s);
}

std::vector<TSite> TSiteStore::SitesNamed(const std::string& name) {
  std::vector<TSite> found;
  if (name.size() > 1 && name[0] == '#') {
    TStatement s = impl_->db->Prepare(std::string("SELECT ") + kSiteColumns +
                                      " FROM sites WHERE substr(uid, 1, length(?1)) = ?1 ORDER BY id");
    s.Bind(1, name.substr(1));
    while (s.Step()) found.push_back(SiteOf(s));
    return found;
  }
  const std::string folded = FoldForSearch(name);
  // The folded name is the search text's first line.
  TStatement s = impl_->db->Prepare(std::string("SELECT ") + kSiteColumns +
                                    " FROM sites WHERE substr(search, 1, length(?1) + 1) = ?1 || char(10) "
                                    "ORDER BY name COLLATE zx_name, id");
  s.Bind(1, folded);
  while (s.Step()) found.push_back(SiteOf(s));
  return found;
}

std::optional<TSite> TSiteStore::SiteByName(const std::string& name) {
  std::vector<TSite> found = SitesNamed(name);
  if (found.empty()) return std::nullopt;
  if (found.size() == 1) return found.front();
  std::string text = "Объектов с названием «" + name + "» несколько; укажите нужный по номеру (#…):";
  for (const TSite& s : found) {
    text += "\n  #" + s.ShortId() + "  " + s.name + "  " + s.customer + "  " + s.address;
  }
  throw SitesAmbiguous(text, std::move(found));
}

std::vector<TSite> TSiteStore::Sites() { return Find({}, -1); }

int64_t TSiteStore::SiteCount() {
  TStatement s = impl_->db->Prepare("SELECT count(*) FROM sites");
  return s.Step() ? s.Int(0) : 0;
}

std::vector<TSite> TSiteStore::Find(const std::string& text, int limit, int offset) {
  TStatement s = impl_->db->Prepare(std::string("SELECT ") + kSiteColumns +
                                    " FROM sites WHERE ?1 = '' OR instr(search, ?1) > 0 "
                                    "ORDER BY name COLLATE zx_name, id LIMIT ?2 OFFSET ?3");
  s.Bind(1, SearchQuery(text)).Bind(2, int64_t{limit}).Bind(3, int64_t{offset});
  std::vector<TSite> sites;
  while (s.Step()) sites.push_back(SiteOf(s));
  return sites;
}

std::vector<TSitePanel> TSiteStore::Panels(int64_t siteId) {
  TStatement s = impl_->db->Prepare(std::string("SELECT ") + kPanelColumns +
                                    " FROM panels WHERE site_id = ?1 ORDER BY last_read DESC, id");
  s.Bind(1, siteId);
  std::vector<TSitePanel> panels;
  while (s.Step()) panels.push_back(PanelOf(s));
  return panels;
}

std::optional<TSite> TSiteStore::Match(const TPanelIdentity& identity) {
  TDatabase& db = *impl_->db;
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
  if (!taken.empty() && !UtcMillis(taken)) throw SitesError("Неверное время снимка: " + taken);
  TCFG cfg;
  ParseSettings(content, cfg);
  TSnapshotRecord r;
  r.siteId = siteId;
  r.hash = Sha256Hex(content);
  r.content = content;
  r.kind = kind;
  r.taken = taken.empty() ? NowUtc() : taken;
  r.programVersion = ProgramVersion();
  r.technician = TechnicianName();
  r.model = ModelText(cfg.FirmwareVersion);
  r.firmware = cfg.FirmwareVersion;
  BeforeWrite();
  TTransaction t(*impl_->db);
  impl_->InsertSnapshot(r);
  if (siteId && kind == "read") impl_->KeepPanel(*siteId, IdentityOf(cfg), r.taken);
  t.Commit();
  return r;
}

void TSiteStore::Refile(int64_t snapshotId, std::optional<int64_t> siteId) {
  BeforeWrite();
  TDatabase& db = *impl_->db;
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
  TStatement s = impl_->db->Prepare(std::string("SELECT ") + kSnapshotColumns +
                                    " FROM snapshots WHERE site_id = ?1 ORDER BY taken DESC, id DESC LIMIT ?2");
  s.Bind(1, *siteId).Bind(2, int64_t{limit});
  std::vector<TSnapshotRecord> list;
  while (s.Step()) list.push_back(SnapshotOf(s));
  return list;
}

std::vector<TSnapshotRecord> TSiteStore::Unfiled(int limit) {
  TStatement s = impl_->db->Prepare(std::string("SELECT ") + kSnapshotColumns +
                                    " FROM snapshots WHERE site_id IS NULL ORDER BY taken DESC, id DESC LIMIT ?1");
  s.Bind(1, int64_t{limit});
  std::vector<TSnapshotRecord> list;
  while (s.Step()) list.push_back(SnapshotOf(s));
  return list;
}

std::optional<TSnapshotRecord> TSiteStore::Snapshot(int64_t id) {
  TStatement s = impl_->db->Prepare(std::string("SELECT ") + kSnapshotColumns + " FROM snapshots WHERE id = ?1");
  s.Bind(1, id);
  if (!s.Step()) return std::nullopt;
  return SnapshotOf(s);
}

bool TSiteStore::AddSnapshot(TSnapshotRecord& record) {
  BeforeWrite();
  TTransaction t(*impl_->db);
  const bool added = impl_->InsertSnapshot(record);
  t.Commit();
  return added;
}

bool TSiteStore::KeepPanel(int64_t siteId, const TPanelIdentity& identity, const std::string& when) {
  BeforeWrite();
  TTransaction t(*impl_->db);
  const bool added = impl_->KeepPanel(siteId, identity, when);
  t.Commit();
  return added;
}

int TSiteStore::MergeChanges(int64_t siteId, std::vector<TFieldChange>& changes) {
  BeforeWrite();
  TDatabase& db = *impl_->db;
  TTransaction t(db);
  const std::optional<TSite> here = Site(siteId);
  if (!here) throw SitesError("Объект не найден");
  int added = 0;
  for (TFieldChange& c : changes) {
    c.siteUid = here->uid;
    added += InsertChange(db, c) ? 1 : 0;
  }
  impl_->Recompute(here->id, here->uid);
  t.Commit();
  return added;
}

std::vector<TFieldChange> TSiteStore::Changes(int64_t siteId) {
  const std::optional<TSite> here = Site(siteId);
  return here ? ChangesOf(*impl_->db, here->uid) : std::vector<TFieldChange>{};
}

std::optional<TSite> TSiteStore::SiteByUid(const std::string& uid) {
  TStatement& s = impl_->db->Cached(std::string("SELECT ") + kSiteColumns + " FROM sites WHERE uid = ?1");
  const TResetWhenDone reset(s);
  s.Bind(1, uid);
  if (!s.Step()) return std::nullopt;
  return SiteOf(s);
}

std::vector<TSiteConflict> TSiteStore::Conflicts(int64_t siteId) {
  std::vector<TSiteConflict> list;
  const std::optional<TSite> site = Site(siteId);
  if (!site) return list;
  for (int i = 0; i < kSiteFieldCount; ++i) {
    const std::vector<TFieldChange> heads = Heads(*impl_->db, site->uid, kSiteFieldNames[i]);
    for (size_t k = 1; k < heads.size(); ++k) {
      if (heads[k].value == heads.front().value) continue;  // the same value reached twice agrees
      TSiteConflict c;
      c.siteId = siteId;
      c.field = kSiteFieldWords[i];
      c.local = heads.front().value;
      c.imported = heads[k].value;
      c.when = heads[k].made;
      c.otherTechnician = heads[k].technician;
      c.otherLaptop = heads[k].laptop;
      list.push_back(c);
    }
  }
  return list;
}

std::string TSiteStore::Meta(const std::string& key) {
  TStatement& s = impl_->db->Cached("SELECT value FROM meta WHERE key = ?1");
  const TResetWhenDone reset(s);
  s.Bind(1, key);
  return s.Step() ? s.Text(0) : std::string();
}

void TSiteStore::SetMeta(const std::string& key, const std::string& value) {
  BeforeWrite();
  impl_->db->Cached("INSERT INTO meta(key, value) VALUES(?1, ?2) ON CONFLICT(key) DO UPDATE SET value = ?2")
      .Bind(1, key).Bind(2, value).Run();
}

void TSiteStore::Backup(const std::string& file) { CopyDatabase(*impl_->db, file); }

}  // namespace zarvex::sites
