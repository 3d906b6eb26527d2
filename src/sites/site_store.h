#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "sites/field_changes.h"
#include "sites/site_records.h"
#include "sites/site_schema.h"
#include "sites/sqlite_db.h"

namespace zarvex::sites {

// The site was changed by another program since it was read.
class SitesChangedMeanwhile : public SitesError {
 public:
  using SitesError::SitesError;
};

// A name two or more sites answer to; each is listed, to pick by its short id.
class SitesAmbiguous : public SitesError {
 public:
  SitesAmbiguous(const std::string& what, std::vector<TSite> candidates)
      : SitesError(what), candidates_(std::move(candidates)) {}
  const std::vector<TSite>& Candidates() const { return candidates_; }

 private:
  std::vector<TSite> candidates_;
};

struct TStoreOptions {
  // Stops long work and lock waits (Ctrl+C, SIGTERM).
  TStopWhen stop;
  // How long a write waits for another program's.
  std::chrono::milliseconds busyWait{10000};
  // Only to read (list, search, show, export): no write and no lock wait,
  // but for the one migration of a database an earlier program made; a
  // database that is not there yet is not made.
  bool readOnly = false;
  // Rolling copies beside the database: one a day, this many kept.
  int dailyBackups = 7;
};

// The installer's sites, their panels and every configuration snapshot, in
// one SQLite file. Every action is one transaction; the window and the CLI
// may use the file at the same time. Throws SitesError.
class TSiteStore {
 public:
  static constexpr int kSchemaVersion = sites::kSchemaVersion;

  // Opens the file read-only first and writes only what it must: it
  // creates a missing database, migrates an older one, and otherwise writes
  // nothing until asked to. A file that is not a site database (damaged,
  // foreign, or from a newer program) is never written to: the constructor
  // throws (SitesDamaged for a damaged one) and the file stays as it was.
  // A database it may not write is opened to read; writes then throw
  // SitesReadOnly.
  explicit TSiteStore(const std::string& path, const TStoreOptions& options = {});
  ~TSiteStore();

  const std::string& Path() const;
  bool ReadOnly() const;
  // What the installer should know about where the database is (a network
  // or synchronised folder); empty when nothing.
  const std::string& Warning() const;

  // Sites. Name is required; created, changed and technician are set here.
  TSite CreateSite(TSite site);
  // Writes the fields that differ from what the site holds, each as a
  // change. With `site.changed` set, another program's change since then
  // throws SitesChangedMeanwhile unless `overwrite`.
  void UpdateSite(const TSite& site, bool overwrite = false);
  // Ends a field's conflict with this value (itself a change).
  void Resolve(int64_t siteId, const std::string& field, const std::string& value);
  std::optional<TSite> Site(int64_t id);
  // The site a name means: the same name (case folded as search folds it),
  // or "#" and the start of its id. None when no site; SitesAmbiguous when two.
  std::optional<TSite> SiteByName(const std::string& name);
  std::vector<TSite> SitesNamed(const std::string& name);
  std::vector<TSite> Sites();  // alphabetically
  int64_t SiteCount();
  // Over name, customer, address, each phone, notes, and the panels' ID and
  // phones; case folded. A phone is found however it is typed. Empty text:
  // every site. From `offset`, at most `limit` (-1: all), alphabetically.
  std::vector<TSite> Find(const std::string& text, int limit = -1, int offset = 0);

  std::vector<TSitePanel> Panels(int64_t siteId);
  // The site whose panel matches: the same ID, else the same server and
  // check phones.
  std::optional<TSite> Match(const TPanelIdentity& identity);

  // Files a snapshot (its identity taken from the content) under a site, or
  // unfiled; the site's panel is added or brought up to date by a read.
  // Returns the snapshot; one already there (same content, time and kind)
  // is not added twice.
  TSnapshotRecord FileSnapshot(const std::string& content, const std::string& kind,
                               std::optional<int64_t> siteId, const std::string& taken = {});
  // Moves a snapshot under another site (or unfiled).
  void Refile(int64_t snapshotId, std::optional<int64_t> siteId);
  std::vector<TSnapshotRecord> Snapshots(std::optional<int64_t> siteId, int limit = 1000);  // newest first
  std::vector<TSnapshotRecord> Unfiled(int limit = 1000);
  std::optional<TSnapshotRecord> Snapshot(int64_t id);

  std::vector<TSiteConflict> Conflicts(int64_t siteId);

  // For a hand-over between databases (sites/site_handover): a snapshot
  // as it is, its time, technician and version kept; false when it is there
  // already. A panel as last read. A site from elsewhere, by its uid, and
  // its changes merged in: fields whose heads moved are taken over.
  bool AddSnapshot(TSnapshotRecord& record);
  bool KeepPanel(int64_t siteId, const TPanelIdentity& identity, const std::string& when);
  std::optional<TSite> SiteByUid(const std::string& uid);
  int64_t AddSiteRow(const TSite& site);
  // Returns how many of them were new here.
  int MergeChanges(int64_t siteId, std::vector<TFieldChange>& changes);
  std::vector<TFieldChange> Changes(int64_t siteId);

  // An online copy, consistent while others write.
  void Backup(const std::string& file);

  // A value kept with the database (e.g. that the old history was taken in).
  std::string Meta(const std::string& key);
  void SetMeta(const std::string& key, const std::string& value);

  TDatabase& Database();
  // Before the first write of a run: the file is checked (SitesDamaged when
  // it is not whole) and the day's rolling copy made. Every write calls it.
  void BeforeWrite();
  // Why today's rolling copy could not be made; empty when it was (or was
  // not due). The write itself went on.
  const std::string& BackupProblem() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Who is at the keyboard, for the records; the system's user name.
std::string TechnicianName();
std::string ProgramVersion();

}  // namespace zarvex::sites
