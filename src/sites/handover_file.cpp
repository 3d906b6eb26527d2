#include "sites/handover_file.h"

#include <filesystem>
#include <random>
#include <system_error>

#include "settings/settings_format.h"
#include "sites/sha256.h"
#include "sites/site_rows.h"
#include "sites/site_schema.h"
#include "sites/utf8_path.h"
#include "sites/utc_time.h"

namespace zarvex::sites {

namespace {

namespace fs = std::filesystem;


const char* const kKinds[] = {"read", "written", "written-cut", "verify", "reset", "imported"};

// A folder only this user reads, removed with all in it at the end.
class TPrivateCopy {
 public:
  explicit TPrivateCopy(const std::string& file) {
    std::error_code error;
    std::random_device random;
    for (int attempt = 0; attempt < 20 && folder_.empty(); ++attempt) {
      fs::path candidate = fs::temp_directory_path(error) / ("zarvex-import-" + std::to_string(random()));
      if (!error && fs::create_directory(candidate, error)) folder_ = candidate;
    }
    if (folder_.empty()) throw SitesError("Не удалось создать временную папку для чтения " + file);
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::replace, error);
    copy_ = folder_ / "handed.zxsite";
    fs::copy_file(PathOf(file), copy_, error);
    if (error) {
      Remove();
      throw SitesError("Не удалось прочитать " + file + ": " + error.message());
    }
  }
  ~TPrivateCopy() { Remove(); }
  std::string Path() const { return Utf8Of(copy_); }

 private:
  void Remove() {
    std::error_code ignored;
    if (!folder_.empty()) fs::remove_all(folder_, ignored);
  }
  fs::path folder_, copy_;
};

bool KnownKind(const std::string& kind) {
  for (const char* k : kKinds) {
    if (kind == k) return true;
  }
  return false;
}

// A uid this program made: 32 hexadecimal digits (a few more or less from
// other builds are fine); nothing that could carry anything else.
bool PlausibleUid(const std::string& uid) {
  if (uid.size() < 8 || uid.size() > 64) return false;
  for (char c : uid) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// A time of the file's schema in UTC: version 3 keeps UTC, the earlier ones
// local text, taken as this laptop's zone.
std::string TimeOf(const std::string& text, int version) {
  if (version >= 3) return text;
  return UtcFromLocalText(text).value_or(std::string());
}

int64_t Count(TDatabase& db, const char* table) {
  TStatement s = db.Prepare(std::string("SELECT count(*) FROM ") + table);
  return s.Step() ? s.Int(0) : 0;
}

}  // namespace

namespace {

THandover ReadCopy(const std::string& file, TDatabase& in, const std::string& now);

}  // namespace

THandover ReadHandover(const std::string& file, const TStopWhen& stop, const std::string& now) {
  std::error_code error;
  const auto size = fs::file_size(PathOf(file), error);
  if (error) throw SitesError("Файл " + file + " не удалось прочитать: " + error.message());
  if (size > static_cast<uintmax_t>(kMaxHandoverBytes)) {
    throw SitesError("Файл " + file + " слишком велик для файла объектов (" + std::to_string(size >> 20) + " МБ)");
  }
  // The sender's file is never opened where it lies: no journal is made
  // beside it, and a folder we may not write is no obstacle.
  TPrivateCopy copy(file);
  if (InspectHeader(copy.Path()) != TFileKind::Sites) throw SitesError("Файл " + file + " не является файлом объектов Zarvex");
  TDatabase in(copy.Path(), TDatabase::Mode::Immutable);
  in.SetStop(stop);
  in.Harden(kMaxHandoverText);
  try {
    return ReadCopy(file, in, now);
  } catch (const SitesInterrupted&) {
    throw;
  } catch (const SitesError& e) {
    // Ours name the installer's file already; the database library's would
    // name the private copy, in English.
    const std::string text = e.what();
    if (text.rfind("Файл " + file + " ", 0) == 0) throw;
    throw SitesError("Файл " + file + " повреждён или устроен не так, как файл объектов, и не принят");
  }
}

namespace {

THandover ReadCopy(const std::string& file, TDatabase& in, const std::string& now) {
  const std::string bad = "Файл " + file + " ";
  switch (InspectDatabase(in, kSchemaVersion)) {
    case TFileKind::Sites: break;
    case TFileKind::Newer: throw SitesError(bad + "сделан более новой версией программы");
    case TFileKind::Damaged: throw SitesError(bad + "повреждён: его не удаётся прочитать");
    default: throw SitesError(bad + "не является файлом объектов Zarvex");
  }
  const int version = UserVersion(in);
  if (version < 1) throw SitesError(bad + "не является файлом объектов Zarvex");
  if (SchemaOf(in) != KnownSchema(version)) {
    throw SitesError(bad + "содержит то, чего в файле объектов не бывает (посторонние таблицы, представления, "
                           "триггеры или изменённые таблицы), и не принят");
  }
  if (in.QuickCheck(true) != "ok") throw SitesError(bad + "повреждён (проверка целостности нашла ошибки) и не принят");
  // A value larger than any the file may hold is told by its size, before
  // anything reads it.
  TStatement huge = in.Prepare("SELECT length(content) FROM snapshots WHERE length(content) > ?1 LIMIT 1");
  huge.Bind(1, int64_t{kMaxHandoverText});
  if (huge.Step()) {
    throw SitesError(bad + "содержит снимок больше, чем бывает файл настроек (" + std::to_string(huge.Int(0)) +
                     " байт), и не принят");
  }
  for (const char* table : {"sites", "panels", "snapshots"}) {
    if (Count(in, table) > kMaxHandoverRows) throw SitesError(bad + "содержит больше строк, чем бывает в файле объектов");
  }
  if (version >= 3 && Count(in, "site_changes") > kMaxHandoverRows) {
    throw SitesError(bad + "содержит больше строк, чем бывает в файле объектов");
  }

  THandover out;
  TStatement sites = in.Prepare(
      "SELECT id, uid, name, customer, address, phones, notes, created, changed, technician FROM sites ORDER BY id");
  while (sites.Step()) {
    for (int column = 1; column <= 9; ++column) {
      if (!sites.IsText(column)) throw SitesError(bad + "содержит объект с полем не того типа");
    }
    THandoverSite h;
    const int64_t theirId = sites.Int(0);
    TSite& s = h.site;
    s.uid = sites.Text(1);
    s.name = sites.Text(2);
    s.customer = sites.Text(3);
    s.address = sites.Text(4);
    s.phones = sites.Text(5);
    s.notes = sites.Text(6);
    s.created = TimeOf(sites.Text(7), version);
    s.technician = sites.Text(9);
    if (!PlausibleUid(s.uid)) throw SitesError(bad + "содержит объект без правильного идентификатора");
    if (s.name.empty()) throw SitesError(bad + "содержит объект без названия");
    if (!Plausible(s.created, now)) s.created = now;

    if (version >= 3) {
      TStatement changes = in.Prepare(
          "SELECT change_id, field, value, made, technician, laptop FROM site_changes WHERE site_uid = ?1 ORDER BY id");
      changes.Bind(1, s.uid);
      while (changes.Step()) {
        TFieldChange c;
        c.changeId = changes.Text(0);
        c.siteUid = s.uid;
        c.field = changes.Text(1);
        c.value = changes.Text(2);
        c.made = changes.Text(3);
        c.technician = changes.Text(4);
        c.laptop = changes.Text(5);
        TStatement parents = in.Prepare("SELECT parent_id FROM site_change_parents WHERE change_id = ?1");
        parents.Bind(1, c.changeId);
        while (parents.Step()) c.parents.push_back(parents.Text(0));
        const int field = FieldByWords(c.field);
        if (field < 0 || c.field != kSiteFieldNames[field]) {
          throw SitesError(bad + "содержит изменение неизвестного поля «" + c.field + "»");
        }
        if (!c.made.empty() && !Plausible(c.made, now)) {
          throw SitesError(bad + "содержит изменение объекта «" + s.name + "» со временем вне разумных пределов (" +
                           c.made + ")");
        }
        // Named by its own hash: a change cannot pose as another.
        if (ChangeIdOf(c) != c.changeId) throw SitesError(bad + "содержит подделанное изменение объекта «" + s.name + "»");
        h.changes.push_back(std::move(c));
      }
    } else {
      // An earlier program's site: its values, named by themselves as the
      // migration names them, so equal values agree.
      for (int i = 0; i < kSiteFieldCount; ++i) {
        TFieldChange c;
        c.siteUid = s.uid;
        c.field = kSiteFieldNames[i];
        c.value = sites.Text(2 + i);
        h.changes.push_back(std::move(c));
      }
    }

    TStatement panels = in.Prepare(
        "SELECT model, firmware, panel_id, server_phone, check_phone, last_read FROM panels WHERE site_id = ?1");
    panels.Bind(1, theirId);
    while (panels.Step()) {
      TPanelIdentity id{panels.Text(0), static_cast<int>(panels.Int(1)), panels.Text(2), panels.Text(3),
                        panels.Text(4)};
      const std::string when = TimeOf(panels.Text(5), version);
      if (!Plausible(when, now)) {
        ++out.panelsRefused;
        continue;
      }
      h.panels.emplace_back(std::move(id), when);
    }

    TStatement snapshots = in.Prepare(std::string("SELECT ") + kSnapshotColumns + " FROM snapshots WHERE site_id = ?1");
    snapshots.Bind(1, theirId);
    while (snapshots.Step()) {
      TSnapshotRecord r = SnapshotOf(snapshots);
      r.taken = TimeOf(r.taken, version);
      // Only settings files, of the kinds this program files, at times that can be true.
      if (!KnownKind(r.kind) || !Plausible(r.taken, now) || r.content.size() > 16 * 1024 ||
          CountSettingsLines(r.content) != kSettingsFileLines || r.content.find('\0') != std::string::npos) {
        ++out.snapshotsRefused;
        continue;
      }
      TCFG cfg;
      ParseSettings(r.content, cfg);
      r.id = 0;
      r.hash = Sha256Hex(r.content);
      r.model = ModelText(cfg.FirmwareVersion);
      r.firmware = cfg.FirmwareVersion;
      if (r.technician.size() > 256) r.technician.resize(256);
      if (r.programVersion.size() > 64) r.programVersion.resize(64);
      h.snapshots.push_back(std::move(r));
    }
    out.sites.push_back(std::move(h));
  }
  return out;
}

}  // namespace

}  // namespace zarvex::sites
