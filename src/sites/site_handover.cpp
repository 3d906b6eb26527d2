#include "sites/site_handover.h"

#include <set>
#include <vector>

#include "settings/file_ops.h"
#include "settings/file_system.h"
#include "sites/handover_file.h"
#include "sites/utc_time.h"

namespace zarvex::sites {

namespace {

void RemoveQuietly(const std::string& path, FileOps& ops) {
  ops.Unlink(path.c_str());
  ops.Unlink((path + "-wal").c_str());
  ops.Unlink((path + "-shm").c_str());
  ops.Unlink((path + "-journal").c_str());
}

std::set<std::pair<std::string, std::string>> ConflictKeys(TSiteStore& store, int64_t siteId) {
  std::set<std::pair<std::string, std::string>> keys;
  for (const TSiteConflict& c : store.Conflicts(siteId)) keys.emplace(c.field, c.imported + '\x1f' + c.local);
  return keys;
}

std::set<std::string> FieldsDiffering(const TSite& a, const TSite& b) {
  std::set<std::string> fields;
  const std::string TSite::*members[kSiteFieldCount] = {&TSite::name, &TSite::customer, &TSite::address,
                                                        &TSite::phones, &TSite::notes};
  for (int i = 0; i < kSiteFieldCount; ++i) {
    if (a.*members[i] != b.*members[i]) fields.insert(kSiteFieldWords[i]);
  }
  return fields;
}

// The database's stop for the import's length, put back however it ends.
class TStopFor {
 public:
  TStopFor(TDatabase& db, const TStopWhen& stop) : db_(db), before_(db.Stop()) {
    if (stop.flag || stop.deadline) db_.SetStop(stop);
  }
  ~TStopFor() { db_.SetStop(before_); }

 private:
  TDatabase& db_;
  TStopWhen before_;
};

}  // namespace

void ExportSite(TSiteStore& store, int64_t siteId, const std::string& file) {
  FileOps& ops = SystemFileOps();
  const std::string partial = file + ".partial-" + std::to_string(file_system::ProcessId());
  RemoveQuietly(partial, ops);
  try {
    {
      // One state of the site, however others write meanwhile.
      TReadTransaction read(store.Database());
      const std::optional<TSite> site = store.Site(siteId);
      if (!site) throw SitesError("Объект не найден");
      std::vector<TFieldChange> changes = store.Changes(siteId);
      const std::vector<TSitePanel> panels = store.Panels(siteId);
      std::vector<TSnapshotRecord> snapshots = store.Snapshots(siteId, -1);

      TStoreOptions options;
      options.dailyBackups = 0;
      TSiteStore out(partial, options);
      out.BeforeWrite();
      TTransaction t(out.Database());
      const int64_t copy = out.AddSiteRow(*site);
      out.MergeChanges(copy, changes);
      for (const TSitePanel& panel : panels) out.KeepPanel(copy, panel.identity, panel.lastRead);
      for (TSnapshotRecord& r : snapshots) {
        r.siteId = copy;
        out.AddSnapshot(r);
      }
      t.Commit();
      // One file to hand over, without the journal beside it.
      if (out.Database().JournalMode("DELETE") != "delete") throw SitesError("Не удалось закончить " + file);
    }
    if (ops.Rename(partial.c_str(), file.c_str()) != 0) {
      throw SitesError("Не удалось записать " + file + ": " + file_system::ErrorText(errno));
    }
  } catch (...) {
    RemoveQuietly(partial, ops);
    throw;
  }
}

TImportReport ImportSites(TSiteStore& store, const std::string& file, const TStopWhen& stop) {
  const std::string now = NowUtc();
  // Read whole before the database is touched: the stranger's file cannot
  // hold the write lock for as long as it likes.
  if (stop.Now()) throw SitesInterrupted("Импорт прерван; база объектов не изменена");
  TStopWhen reading = stop;
  reading.deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  THandover handed = ReadHandover(file, reading, now);

  TImportReport report;
  report.snapshotsRefused = handed.snapshotsRefused;
  report.panelsRefused = handed.panelsRefused;
  store.BeforeWrite();
  TDatabase& db = store.Database();
  TStopFor stopping(db, stop);
  TTransaction t(db);
  for (THandoverSite& h : handed.sites) {
    int64_t ours;
    if (std::optional<TSite> here = store.SiteByUid(h.site.uid)) {
      ours = here->id;
      const auto conflictsBefore = ConflictKeys(store, ours);
      store.MergeChanges(ours, h.changes);
      const TSite after = *store.Site(ours);
      std::set<std::string> taken = FieldsDiffering(*here, after);
      bool conflicted = false;
      for (const TSiteConflict& c : store.Conflicts(ours)) {
        if (conflictsBefore.count({c.field, c.imported + '\x1f' + c.local})) continue;
        report.conflicts.push_back(c);
        taken.erase(c.field);  // a conflict is told as one, not as a field taken
        conflicted = true;
      }
      report.fieldsTaken += static_cast<int>(taken.size());
      if (!taken.empty()) {
        ++report.sitesUpdated;
      } else if (!conflicted) {
        ++report.sitesUnchanged;
      }
    } else {
      TSite row = h.site;
      row.changed = row.created;
      ours = store.AddSiteRow(row);
      store.MergeChanges(ours, h.changes);
      ++report.sitesAdded;
      const TSite added = *store.Site(ours);
      if (store.SitesNamed(added.name).size() > 1) report.sameNames.push_back(added.name);
    }
    for (const auto& [identity, when] : h.panels) {
      if (store.KeepPanel(ours, identity, when)) ++report.panelsAdded;
    }
    for (TSnapshotRecord& r : h.snapshots) {
      r.siteId = ours;
      if (store.AddSnapshot(r)) {
        ++report.snapshotsAdded;
      } else {
        ++report.snapshotsAlreadyThere;
      }
    }
  }
  db.CheckStop();
  t.Commit();
  return report;
}

}  // namespace zarvex::sites
