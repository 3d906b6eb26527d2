#pragma once

#include <optional>
#include <string>
#include <vector>

#include "team/pg_connection.h"

namespace zarvex::team {

// The newest schema of the company's database this program knows.
inline constexpr int kTeamSchemaVersion = 4;

// Creates or migrates the company's schema with an administrator's
// connection, in one transaction under a lock, so running it twice or from
// two places at once is harmless. Returns the version it found (0: none).
// TeamError for a schema newer than this program knows.
int InitTeamSchema(TPgConnection& admin);

enum class TRole { Technician, Senior, Admin };
const char* RoleName(TRole role);
TRole RoleByName(const std::string& name);  // TeamError when unknown

// A login role of their own inside the role's group, its password stored
// as SCRAM-SHA-256 (hashed here); the branch is made when new. Seniors and
// administrators see keypad codes, technicians only with `seesCodes`.
// Refused for a login over PostgreSQL's 63 bytes and for any role that is
// there already (a technician's is changed with UpdateTechnician).
void AddTechnician(TPgConnection& admin, const std::string& login, const std::string& branch, TRole role,
                   const std::string& password, bool seesCodes);
// What an administrator changes of a technician the program made; what is
// empty stays as it is.
struct TTechnicianUpdate {
  std::optional<TRole> role;
  std::optional<std::string> branch, password;
  std::optional<bool> seesCodes;
};
void UpdateTechnician(TPgConnection& admin, const std::string& login, const TTechnicianUpdate& update);
// The login can no longer connect, and its sessions are ended; what it
// pushed stays in the record.
void RemoveTechnician(TPgConnection& admin, const std::string& login);
// Moves a site to another branch (a senior's or an administrator's
// connection; the server refuses anyone else): its laptops of the new
// branch receive it whole at their next sync. Returns the branch it was in.
std::string MoveSite(TPgConnection& caller, const std::string& siteUid, const std::string& branch);
std::vector<std::string> Branches(TPgConnection& admin);

// A laptop's last sync as the server saw it (an administrator's call; the
// laptop's name and what waits on it are the laptop's word).
struct TLaptopSync {
  std::string login, branch, laptop, synced;  // synced: UTC
  int sent = 0, taken = 0, waiting = 0, refused = 0;
  bool active = false;
  int daysSince = 0;
};
// Oldest sync first.
std::vector<TLaptopSync> Laptops(TPgConnection& admin);

}  // namespace zarvex::team
