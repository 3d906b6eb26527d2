#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "sites/site_store.h"
#include "team/pg_connection.h"

namespace zarvex::team {

// Who the server says this login is.
struct TTechnicianLogin {
  std::string login, branch, role;
  bool seesCodes = false;
};

// Links this laptop to the company's server once: the login checked with
// the server (with the password, when given), then the password kept where
// libpq looks for it and the address saved with the sites. Throws
// TeamForbidden for a login that is no technician's, TeamError otherwise;
// nothing is kept then, and a password that worked before still works.
TTechnicianLogin JoinServer(sites::TSiteStore& store, const TServerAddress& address, const std::string* password,
                            const std::atomic<bool>* stop = nullptr);

// One line of a site's append-only record on the server.
// `pushedBy` is the login the server stamped; the technician, the laptop
// and `made` are only what the laptop said.
struct TSiteLogEntry {
  std::string received;  // UTC, as the server took it
  std::string pushedBy, technician, laptop, field, value, made;
};
std::vector<TSiteLogEntry> SiteLog(TPgConnection& server, const std::string& siteUid);

}  // namespace zarvex::team
