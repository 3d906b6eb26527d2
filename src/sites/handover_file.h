#pragma once

#include <string>
#include <vector>

#include "sites/field_changes.h"
#include "sites/site_records.h"
#include "sites/sqlite_db.h"

namespace zarvex::sites {

// What a hand-over file holds, once it has been read as a stranger's file
// is read: a private copy opened immutable and hardened, its schema exactly
// one this program made, its pages whole, its rows within bounds, each
// snapshot a settings file (its model and firmware from its content), each
// change named by its own hash, every time plausible.
struct THandoverSite {
  TSite site;
  std::vector<TFieldChange> changes;
  std::vector<std::pair<TPanelIdentity, std::string>> panels;  // with last_read
  std::vector<TSnapshotRecord> snapshots;
};
struct THandover {
  std::vector<THandoverSite> sites;
  int snapshotsRefused = 0, panelsRefused = 0;
};

// The biggest hand-over file read, and the most rows of each kind.
inline constexpr int64_t kMaxHandoverBytes = 1LL << 30;
inline constexpr int64_t kMaxHandoverRows = 2000000;
// The longest text or content a row may hold: a settings file is under 2 KiB.
inline constexpr int kMaxHandoverText = 64 * 1024;

// Throws SitesError with one sentence that says what is wrong with the
// file, SitesInterrupted when `stop` says so. `now` bounds the times.
THandover ReadHandover(const std::string& file, const TStopWhen& stop, const std::string& now);

}  // namespace zarvex::sites
