#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sites/site_records.h"
#include "sites/sqlite_db.h"

namespace zarvex::sites {

// The installer's sites, their panels and every configuration snapshot, in
// one SQLite file. Every action is one transaction; the window and the CLI
// may use the file at the same time. Throws SitesError.
class TSiteStore {
 public:
  static constexpr int kSchemaVersion = 2;

  // Opens the file, creating it when there is none. A file that is not a
  // site database (damaged, foreign, or from a newer program) is never
  // written to: the constructor throws and the file stays as it was.
  explicit TSiteStore(const std::string& path);
  ~TSiteStore();

  const std::string& Path() const;

  // Sites. Name is required; created, changed and technician are set here.
  TSite CreateSite(TSite site);
  void UpdateSite(const TSite& site);
  std::optional<TSite> Site(int64_t id);
  std::optional<TSite> SiteByName(const std::string& name);
  std::vector<TSite> Sites();  // by name
  // Over name, customer, address, phones, notes, and the panels' ID and
  // phones; case-insensitive for Cyrillic too. Empty text: every site.
  std::vector<TSite> Find(const std::string& text, int limit = 200);

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
  // already. A panel as last read. A field edited on both sides.
  bool AddSnapshot(TSnapshotRecord& record);
  bool KeepPanel(int64_t siteId, const TPanelIdentity& identity, const std::string& when);
  bool AddConflict(const TSiteConflict& conflict);
  std::optional<TSite> SiteByUid(const std::string& uid);

  // An online copy, consistent while others write.
  void Backup(const std::string& file);

  // A value kept with the database (e.g. that the old history was taken in).
  std::string Meta(const std::string& key);
  void SetMeta(const std::string& key, const std::string& value);

  TDatabase& Database();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Who is at the keyboard, for the records; the system's user name.
std::string TechnicianName();
std::string NowText();
std::string ProgramVersion();

}  // namespace zarvex::sites
