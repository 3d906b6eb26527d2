#include "team/team_join.h"

#include <filesystem>
#include <system_error>

#include "sites/utf8_path.h"
#include "team/pgpass.h"
#include "team/team_sync.h"

namespace zarvex::team {

namespace {

// Saved to be used from any folder later.
std::string Absolute(const std::string& file) {
  if (file.empty()) return file;
  std::error_code ignored;
  const std::filesystem::path whole = std::filesystem::absolute(sites::PathOf(file), ignored);
  return whole.empty() ? file : sites::Utf8Of(whole);
}

}  // namespace

TTechnicianLogin JoinServer(sites::TSiteStore& store, const TServerAddress& given, const std::string* password,
                            const std::atomic<bool>* stop) {
  TServerAddress a = given;
  a.caFile = Absolute(a.caFile);
  a.certFile = Absolute(a.certFile);
  a.keyFile = Absolute(a.keyFile);
  // The password is tried first and kept only once the server took it:
  // a mistyped one never replaces the one that works.
  TPgConnection server(password ? WithPassword(ConnInfo(a), *password) : ConnInfo(a), stop);
  const auto me = server.Query("SELECT login, branch, role, sees_codes FROM zarvex.whoami()");
  if (me.empty()) throw TeamForbidden("Пользователь " + a.user + " не техник этой компании");
  TTechnicianLogin who;
  const auto text = [](const std::optional<std::string>& v) { return v ? *v : std::string(); };
  who.login = text(me[0][0]);
  who.branch = text(me[0][1]);
  who.role = text(me[0][2]);
  who.seesCodes = text(me[0][3]) == "t";
  if (password) KeepPassword(a, *password);
  SaveServerAddress(store, a);
  return who;
}

std::vector<TSiteLogEntry> SiteLog(TPgConnection& server, const std::string& siteUid) {
  // From a version 4 server: values as bytes, the pusher as the server knows him.
  const bool bytes =
      server.Query("SELECT to_regprocedure('zarvex.site_record(text)') IS NOT NULL")[0][0] == std::string("t");
  const auto rows = server.Query(
      std::string("SELECT to_char(received AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), pushed_by, technician, "
                  "laptop, field, ") +
          (bytes ? "value, made FROM zarvex.site_record($1)" : "value, made FROM zarvex.site_log($1)"),
      {siteUid});
  std::vector<TSiteLogEntry> log;
  for (const auto& r : rows) {
    const auto text = [&](size_t i) { return r[i] ? *r[i] : std::string(); };
    log.push_back({text(0), text(1), text(2), text(3), text(4), bytes ? ByteaOf(r[5]) : text(5), text(6)});
  }
  return log;
}

}  // namespace zarvex::team
