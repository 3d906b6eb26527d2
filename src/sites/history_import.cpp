#include "sites/history_import.h"

#include <ctime>

#include "settings/settings_file.h"
#include "settings/settings_file_error.h"
#include "settings/whole_file.h"
#include "sites/sha256.h"
#include "sites/utc_time.h"

namespace zarvex::sites {

namespace {

const char* const kHistoryTaken = "history_imported";

std::string KindOf(report::Snapshot::Kind kind) {
  switch (kind) {
    case report::Snapshot::Kind::Read: return "read";
    case report::Snapshot::Kind::Write: return "written";
    case report::Snapshot::Kind::Reset: return "reset";
  }
  return "imported";
}

std::string TimeText(std::time_t when) { return UtcText(static_cast<int64_t>(when) * 1000); }

}  // namespace

int ImportHistoryOnce(TSiteStore& store, const report::ConfigHistory& history, int* unreadable,
                      std::time_t before) {
  if (unreadable) *unreadable = 0;
  if (!store.Meta(kHistoryTaken).empty() || store.ReadOnly()) return 0;
  store.BeforeWrite();
  TTransaction t(store.Database());
  int taken = 0;
  for (const report::Snapshot& s : history.List()) {
    if (before != 0 && s.time >= before) continue;
    TSnapshotRecord r;
    try {
      r.content = ReadWholeFile(s.path, kMaxSettingsFileSize);
    } catch (const SettingsFileError&) {
      if (unreadable) ++*unreadable;
      continue;
    }
    r.hash = Sha256Hex(r.content);
    r.kind = KindOf(s.kind);
    r.taken = TimeText(s.time);
    r.firmware = s.firmwareVersion;
    r.model = ModelText(s.firmwareVersion);
    if (store.AddSnapshot(r)) ++taken;
  }
  store.SetMeta(kHistoryTaken, NowUtc());
  t.Commit();
  return taken;
}

}  // namespace zarvex::sites
