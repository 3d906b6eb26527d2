#include "sites/rolling_backups.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "settings/file_system.h"
#include "sites/site_schema.h"
#include "sites/utf8_path.h"
#include "sites/utc_time.h"

namespace zarvex::sites {

namespace {

namespace fs = std::filesystem;


// Busy retries: at most this long, however long another program writes.
constexpr int kBusyRetries = 500;
constexpr int kBusySleepMs = 20;

}  // namespace

void CopyDatabase(TDatabase& source, const std::string& file) {
  // A name of this process's own: two programs making the day's copy at
  // once must not write into, or delete, each other's half.
  const std::string partial = file + ".partial-" + std::to_string(file_system::ProcessId());
  std::error_code ignored;
  fs::remove(PathOf(partial), ignored);
  {
    TDatabase target(partial, TDatabase::Mode::OpenOrCreate);
    target.SetStop(source.Stop());
    sqlite3_backup* backup = sqlite3_backup_init(target.Handle(), "main", source.Handle(), "main");
    if (!backup) target.Fail("Не удалось начать копию базы объектов");
    // Pages in slices, so a writer waiting meanwhile gets its turn.
    int rc = SQLITE_OK;
    int busy = 0;
    do {
      if (source.Stop().Now()) {
        rc = SQLITE_INTERRUPT;
        break;
      }
      rc = sqlite3_backup_step(backup, 256);
      if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        if (++busy > kBusyRetries) break;
        sqlite3_sleep(kBusySleepMs);
      }
    } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
    const int finished = sqlite3_backup_finish(backup);
    if (rc == SQLITE_INTERRUPT) {
      fs::remove(PathOf(partial), ignored);
      throw SitesInterrupted("Копия базы объектов прервана; " + file + " не изменён");
    }
    if (rc != SQLITE_DONE || finished != SQLITE_OK) {
      const std::string why = rc == SQLITE_BUSY || rc == SQLITE_LOCKED
                                  ? std::string("база занята другой программой слишком долго")
                                  : std::string(sqlite3_errstr(finished != SQLITE_OK ? finished : rc));
      throw SitesError("Не удалось сделать копию базы объектов в " + file + ": " + why);
    }
    // One file, without a journal beside it.
    if (target.JournalMode("DELETE") != "delete") {
      throw SitesError("Не удалось закончить копию базы объектов в " + file);
    }
  }
  std::error_code error;
  fs::rename(PathOf(partial), PathOf(file), error);
  if (error) {
    fs::remove(PathOf(partial), ignored);
    throw SitesError("Не удалось записать " + file + ": " + error.message());
  }
}

std::string BackupFolder(const std::string& databasePath) { return databasePath + ".backups"; }

std::vector<std::string> Backups(const std::string& databasePath) {
  std::vector<std::string> list;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(PathOf(BackupFolder(databasePath)), error)) {
    const std::string name = Utf8Of(entry.path().filename());
    if (name.size() == 19 && name.rfind("sites-", 0) == 0 && name.substr(16) == ".db") {
      list.push_back(Utf8Of(entry.path()));
    }
  }
  std::sort(list.rbegin(), list.rend());
  return list;
}

void KeepDailyBackup(TDatabase& source, const std::string& databasePath, int keep) {
  if (keep <= 0) return;
  const std::string folder = BackupFolder(databasePath);
  const std::string today = folder + "/sites-" + NowUtc().substr(0, 10) + ".db";
  std::error_code error;
  if (fs::exists(PathOf(today), error)) return;
  fs::create_directories(PathOf(folder), error);
  CopyDatabase(source, today);
  const std::vector<std::string> all = Backups(databasePath);
  for (size_t i = static_cast<size_t>(keep); i < all.size(); ++i) fs::remove(PathOf(all[i]), error);
}

bool IsHealthy(const std::string& file, std::string* why) {
  try {
    if (InspectHeader(file) != TFileKind::Sites) {
      if (why) *why = "не база объектов";
      return false;
    }
    TDatabase db(file, TDatabase::Mode::ReadOnly);
    if (InspectDatabase(db, kSchemaVersion) != TFileKind::Sites) {
      if (why) *why = "не база объектов этой версии";
      return false;
    }
    const std::string check = db.QuickCheck();
    if (check != "ok") {
      if (why) *why = check;
      return false;
    }
    return true;
  } catch (const SitesError& e) {
    if (why) *why = e.what();
    return false;
  }
}

std::string NewestHealthyBackup(const std::string& databasePath) {
  for (const std::string& b : Backups(databasePath)) {
    if (IsHealthy(b)) return b;
  }
  return {};
}

std::string RestoreFromBackup(const std::string& databasePath, const std::string& backup) {
  std::string why;
  if (!IsHealthy(backup, &why)) throw SitesError("Копия " + backup + " не годится для восстановления: " + why);
  std::string stamp = NowUtc();
  stamp.erase(std::remove_if(stamp.begin(), stamp.end(), [](char c) { return c == ':' || c == '-'; }), stamp.end());
  const std::string damaged = databasePath + ".damaged-" + stamp.substr(0, 15);
  std::error_code error;
  // The copy first, beside the database, so the swap below is two renames.
  const std::string incoming = databasePath + ".restoring";
  fs::copy_file(PathOf(backup), PathOf(incoming), fs::copy_options::overwrite_existing, error);
  if (error) throw SitesError("Не удалось скопировать " + backup + ": " + error.message());
  if (fs::exists(PathOf(databasePath))) {
    fs::rename(PathOf(databasePath), PathOf(damaged), error);
    if (error) {
      fs::remove(PathOf(incoming), error);
      throw SitesError("Не удалось отложить повреждённую базу " + databasePath + ": " + error.message());
    }
    for (const char* side : {"-wal", "-shm", "-journal"}) {
      if (fs::exists(PathOf(databasePath + side), error)) fs::rename(PathOf(databasePath + side), PathOf(damaged + side), error);
    }
  }
  fs::rename(PathOf(incoming), PathOf(databasePath), error);
  if (error) throw SitesError("Не удалось восстановить " + databasePath + ": " + error.message());
  return damaged;
}

}  // namespace zarvex::sites
