#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/tcfg.h"

namespace zarvex::sites {

// Texts are UTF-8; times are UTC, "YYYY-MM-DDTHH:MM:SS.mmmZ" (sites/utc_time),
// so they sort as text and mean the same on every laptop.
struct TSite {
  int64_t id = 0;
  std::string uid;  // the same site in every database it is handed to
  std::string name;  // required
  std::string customer, address, phones, notes;
  std::string created, changed;
  std::string technician;  // who changed it last (the system's user name)
  std::string laptop;      // where
  // What the installer picks the site by when two share a name.
  std::string ShortId() const { return uid.substr(0, 8); }
};

// What identifies a panel in its configuration: the ID of VpnAndId, the
// server's phone (DTMF channel, Phone1) and the status-check phone (Phone8)
// that the panel's SIM answers. Factory values identify nothing.
struct TPanelIdentity {
  std::string model;
  int firmware = 0;
  std::string panelId, serverPhone, checkPhone;
};
TPanelIdentity IdentityOf(const TCFG& cfg);
std::string ModelText(int firmwareVersion);

struct TSitePanel {
  int64_t id = 0;
  int64_t siteId = 0;
  TPanelIdentity identity;
  std::string lastRead;  // when these values were last read
};

struct TSnapshotRecord {
  int64_t id = 0;
  std::optional<int64_t> siteId;  // none: unfiled
  std::string hash;               // SHA-256 of the content
  std::string content;            // the 61-line settings file, byte for byte
  std::string kind;               // "read", "written", "verify", "reset", "imported"
  std::string taken;
  std::string programVersion, technician;
  // From the content, for lists.
  std::string model;
  int firmware = 0;
};

// The kinds as the window and the CLI name them.
std::string KindWords(const std::string& kind);

// A site's field changed on two sides (two laptops, or here and in a
// hand-over file) to different values: both are kept until one is taken.
// `local` is the value the site shows, `imported` the other one.
struct TSiteConflict {
  int64_t id = 0;
  int64_t siteId = 0;
  std::string field, local, imported, when;
  std::string otherTechnician, otherLaptop;
};

struct TImportReport {
  int sitesAdded = 0;
  int sitesUpdated = 0;     // fields only the file had changed, taken
  int sitesUnchanged = 0;   // already here as they are in the file
  int fieldsTaken = 0;
  int snapshotsAdded = 0, snapshotsAlreadyThere = 0;
  int panelsAdded = 0;
  // Rows of the file that could not be true, left out and told.
  int snapshotsRefused = 0, panelsRefused = 0;
  std::vector<TSiteConflict> conflicts;  // new ones
  // Sites the file brought whose name another site here has already.
  std::vector<std::string> sameNames;
};

}  // namespace zarvex::sites
