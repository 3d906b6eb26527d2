#pragma once

#include <string>
#include <utility>
#include <vector>

#include "sites/site_store.h"
#include "team/pg_connection.h"

namespace zarvex::team {

// Where this laptop syncs, kept with its site database (no password: that
// is where libpq looks for it, in pgpass, or a client certificate).
void SaveServerAddress(sites::TSiteStore& store, const TServerAddress& address);
// Empty host when the laptop has not joined.
TServerAddress ServerAddress(sites::TSiteStore& store);

struct TSyncReport {
  int changesSent = 0, snapshotsSent = 0, sitesSent = 0;  // sent this time (the server may have had some)
  int changesTaken = 0, snapshotsTaken = 0, sitesTaken = 0;  // new here
};

// What waits to go: changes and filed snapshots the server has not
// confirmed yet.
struct TSyncStatus {
  int changesWaiting = 0, snapshotsWaiting = 0;
  // Of those, what the server (or this laptop) refused at the last sync:
  // the row's name and the reason, in Russian.
  std::vector<std::pair<std::string, std::string>> refused;
  std::string lastSync;  // UTC, empty: never
  std::string lastProblem;
};
TSyncStatus SyncStatus(sites::TSiteStore& store);

// Pushes what this laptop has that the server has not confirmed, then pulls
// what it has not seen, in batches each of which is one transaction on both
// sides: a cut anywhere loses nothing, and the next sync repeats only what
// was not confirmed (the server skips what it has). Throws TeamError; the
// local database is then as the last whole batch left it.
TSyncReport Sync(sites::TSiteStore& store, TPgConnection& server);

// Splits a settings file into what every role may see and the text of its
// keypad codes line (the third, as the settings format reads lines, with
// LF or CR LF ends); joined back, it is byte for byte the file.
std::string WithoutCodes(const std::string& content, std::string* codes = nullptr);
std::string WithCodes(const std::string& masked, const std::string& codes);
// The name of a snapshot received without its codes: the hash of what was
// received, marked, so nothing such a laptop holds depends on the codes.
std::string MaskedHash(const std::string& masked);
// A snapshot that came from the server without its keypad codes.
bool LacksCodes(const sites::TSnapshotRecord& snapshot);

}  // namespace zarvex::team
