#include "sites/site_handover.h"

#include <cstdio>
#include <vector>

#include "settings/file_ops.h"
#include "settings/file_system.h"
#include "sites/sha256.h"
#include "sites/site_rows.h"
#include "sites/site_schema.h"

namespace zarvex::sites {

namespace {

struct TSiteFields {
  const char* field;
  std::string TSite::*member;
};
const TSiteFields kFields[] = {{"название", &TSite::name},   {"заказчик", &TSite::customer},
                               {"адрес", &TSite::address},   {"телефоны", &TSite::phones},
                               {"заметки", &TSite::notes}};

void RemoveQuietly(const std::string& path, FileOps& ops) {
  ops.Unlink(path.c_str());
  ops.Unlink((path + "-wal").c_str());
  ops.Unlink((path + "-shm").c_str());
}

}  // namespace

void ExportSite(TSiteStore& store, int64_t siteId, const std::string& file) {
  const std::optional<TSite> site = store.Site(siteId);
  if (!site) throw SitesError("Объект не найден");
  FileOps& ops = SystemFileOps();
  const std::string partial = file + ".partial-" + std::to_string(file_system::ProcessId());
  RemoveQuietly(partial, ops);
  try {
    {
      TSiteStore out(partial);
      TTransaction t(out.Database());
      const TSite copy = out.CreateSite(*site);
      for (const TSitePanel& panel : store.Panels(siteId)) out.KeepPanel(copy.id, panel.identity, panel.lastRead);
      for (TSnapshotRecord r : store.Snapshots(siteId, -1)) {
        r.siteId = copy.id;
        out.AddSnapshot(r);
      }
      t.Commit();
      // One file to hand over, without the journal beside it.
      out.Database().Exec("PRAGMA journal_mode = DELETE");
    }
    if (ops.Rename(partial.c_str(), file.c_str()) != 0) {
      throw SitesError("Не удалось записать " + file + ": " + file_system::ErrorText(errno));
    }
  } catch (...) {
    RemoveQuietly(partial, ops);
    throw;
  }
}

TImportReport ImportSites(TSiteStore& store, const std::string& file) {
  TDatabase in(file, TDatabase::Mode::ReadOnly);
  TFileKind kind;
  try {
    kind = InspectDatabase(in, TSiteStore::kSchemaVersion);
  } catch (const SitesError&) {
    throw SitesError("Файл " + file + " повреждён или не является файлом объектов");
  }
  if (kind == TFileKind::Newer) throw SitesError("Файл " + file + " сделан более новой версией программы");
  if (kind != TFileKind::Sites) throw SitesError("Файл " + file + " не является файлом объектов Zarvex");

  TImportReport report;
  const std::string now = NowText();
  TTransaction t(store.Database());
  TStatement sites = in.Prepare(
      "SELECT id, uid, name, customer, address, phones, notes, created, changed, technician FROM sites");
  while (sites.Step()) {
    TSite theirs;
    const int64_t theirId = sites.Int(0);
    theirs.uid = sites.Text(1);
    theirs.name = sites.Text(2);
    theirs.customer = sites.Text(3);
    theirs.address = sites.Text(4);
    theirs.phones = sites.Text(5);
    theirs.notes = sites.Text(6);
    theirs.created = sites.Text(7);
    theirs.changed = sites.Text(8);
    theirs.technician = sites.Text(9);
    if (theirs.uid.empty() || theirs.name.empty()) continue;  // nothing to file it under

    int64_t ours;
    if (std::optional<TSite> here = store.SiteByUid(theirs.uid)) {
      ours = here->id;
      ++report.sitesMerged;
      for (const TSiteFields& f : kFields) {
        if ((*here).*f.member == theirs.*f.member) continue;
        TSiteConflict c{0, ours, f.field, (*here).*f.member, theirs.*f.member, now};
        if (store.AddConflict(c)) report.conflicts.push_back(c);
      }
    } else {
      theirs.id = 0;
      ours = store.CreateSite(theirs).id;
      ++report.sitesAdded;
    }

    TStatement panels = in.Prepare(
        "SELECT model, firmware, panel_id, server_phone, check_phone, last_read FROM panels WHERE site_id = ?1");
    panels.Bind(1, theirId);
    while (panels.Step()) {
      TPanelIdentity id{panels.Text(0), static_cast<int>(panels.Int(1)), panels.Text(2), panels.Text(3),
                        panels.Text(4)};
      if (store.KeepPanel(ours, id, panels.Text(5))) ++report.panelsAdded;
    }

    TStatement snapshots =
        in.Prepare(std::string("SELECT ") + kSnapshotColumns + " FROM snapshots WHERE site_id = ?1");
    snapshots.Bind(1, theirId);
    while (snapshots.Step()) {
      TSnapshotRecord r = SnapshotOf(snapshots);
      r.id = 0;
      r.siteId = ours;
      // The content is what counts; a hash written by another program is not taken on trust.
      r.hash = Sha256Hex(r.content);
      if (store.AddSnapshot(r)) {
        ++report.snapshotsAdded;
      } else {
        ++report.snapshotsAlreadyThere;
      }
    }
  }
  t.Commit();
  return report;
}

}  // namespace zarvex::sites
