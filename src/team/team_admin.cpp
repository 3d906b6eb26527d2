#include "team/team_admin.h"

#include "team/team_schema_sql.h"

namespace zarvex::team {

int InitTeamSchema(TPgConnection& admin) {
  TPgTransaction t(admin);
  // One init at a time, wherever it runs from.
  admin.Exec("SELECT pg_advisory_xact_lock(hashtext('zarvex team schema'))");
  int version = 0;
  if (admin.Query("SELECT to_regclass('zarvex.schema_version') IS NOT NULL")[0][0] == "t") {
    version = std::stoi(*admin.Query("SELECT max(version) FROM zarvex.schema_version")[0][0]);
  }
  if (version > kTeamSchemaVersion) {
    throw TeamError("База компании версии " + std::to_string(version) + " новее этой программы (знает до " +
                    std::to_string(kTeamSchemaVersion) + "): обновите программу; ничего не изменено");
  }
  const auto& steps = TeamSchemaSteps();
  for (int v = version; v < kTeamSchemaVersion; ++v) admin.Exec(steps[static_cast<size_t>(v)]);
  t.Commit();
  return version;
}

const char* RoleName(TRole role) {
  switch (role) {
    case TRole::Senior: return "senior";
    case TRole::Admin: return "admin";
    case TRole::Technician: break;
  }
  return "technician";
}

TRole RoleByName(const std::string& name) {
  if (name == "technician") return TRole::Technician;
  if (name == "senior") return TRole::Senior;
  if (name == "admin") return TRole::Admin;
  throw TeamError("Роль должна быть technician, senior или admin: " + name);
}

namespace {

// PostgreSQL cuts a name past 63 bytes without a word: two long names
// would become one login.
void CheckLogin(const std::string& login) {
  if (login.empty()) throw TeamError("Нужно имя техника");
  if (login.size() > 63) {
    throw TeamError("Имя входа «" + login + "» длиннее 63 байт (" + std::to_string(login.size()) +
                    "): PostgreSQL обрезал бы его; выберите короче (кириллица занимает 2 байта на букву)");
  }
}

// Only logins this program made for technicians may be changed: never the
// schema's roles, the administrator, or anyone else's role on the server.
bool IsTechniciansLogin(TPgConnection& admin, const std::string& login) {
  return !admin.Query("SELECT 1 FROM zarvex.technicians t JOIN pg_roles r ON r.rolname = t.login "
                      "WHERE t.login = $1 AND NOT r.rolsuper AND NOT r.rolcreaterole AND NOT r.rolbypassrls "
                      "AND NOT pg_has_role(t.login, 'zarvex_owner', 'MEMBER')",
                      {login})
              .empty();
}

// The group of his role, and a session that may not sit in an open
// transaction or one long statement, which would hold every laptop's pull.
void SetRoleGroup(TPgConnection& admin, const std::string& who, TRole role) {
  const std::string group = std::string("zarvex_") + RoleName(role);
  for (const char* other : {"zarvex_technician", "zarvex_senior", "zarvex_admin"}) {
    if (group != other) admin.Exec(std::string("REVOKE ") + other + " FROM " + who);
  }
  admin.Exec("GRANT " + group + " TO " + who);
  admin.Exec("ALTER ROLE " + who + " SET idle_in_transaction_session_timeout = '20s'");
  admin.Exec("ALTER ROLE " + who + " SET statement_timeout = '60s'");
}

// Ends every session of the login, so what it held is let go at once.
void EndSessions(TPgConnection& admin, const std::string& login) {
  const std::string who = admin.QuoteIdentifier(login);
  // An administrator who is no superuser may end a role's sessions while
  // a member of it, here only for this transaction.
  const bool member = admin.Query("SELECT pg_has_role(current_user, $1, 'USAGE')", {login})[0][0] == std::string("t");
  if (!member) admin.Exec("GRANT " + who + " TO CURRENT_USER");
  admin.Query("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = $1 AND pid <> pg_backend_pid()",
              {login});
  if (!member) admin.Exec("REVOKE " + who + " FROM CURRENT_USER");
}

}  // namespace

void AddTechnician(TPgConnection& admin, const std::string& login, const std::string& branch, TRole role,
                   const std::string& password, bool seesCodes) {
  CheckLogin(login);
  if (branch.empty()) throw TeamError("Нужен филиал техника");
  if (password.size() < 8) throw TeamError("Пароль техника должен быть не короче 8 знаков");
  const std::string who = admin.QuoteIdentifier(login);
  const std::string hashed = admin.EncryptPassword(password, login);
  TPgTransaction t(admin);
  if (admin.Query("SELECT 1 FROM pg_roles WHERE rolname = $1", {login}).size() == 1) {
    if (IsTechniciansLogin(admin, login)) {
      throw TeamError("Техник " + login + " уже есть: его роль, филиал и пароль меняет team update-technician");
    }
    throw TeamError("Роль " + login + " уже есть на сервере и сделана не этой программой: техником её не сделать");
  }
  admin.Exec("CREATE ROLE " + who + " LOGIN PASSWORD " + admin.QuoteLiteral(hashed));
  // The schema's owner may end his sessions: a pull ends a push that hangs.
  admin.Exec("GRANT " + who + " TO zarvex_owner");
  SetRoleGroup(admin, who, role);
  admin.Query("INSERT INTO zarvex.branches VALUES ($1) ON CONFLICT DO NOTHING", {branch});
  admin.Query(
      "INSERT INTO zarvex.technicians(login, branch, role, sees_codes) VALUES ($1, $2, $3, $4) "
      "ON CONFLICT (login) DO UPDATE SET branch = $2, role = $3, sees_codes = $4, active = true",
      {login, branch, std::string(RoleName(role)), std::string(seesCodes || role != TRole::Technician ? "t" : "f")});
  t.Commit();
}

void UpdateTechnician(TPgConnection& admin, const std::string& login, const TTechnicianUpdate& update) {
  CheckLogin(login);
  if (update.branch && update.branch->empty()) throw TeamError("Нужен филиал техника");
  if (update.password && update.password->size() < 8) throw TeamError("Пароль техника должен быть не короче 8 знаков");
  const std::string who = admin.QuoteIdentifier(login);
  const std::optional<std::string> hashed =
      update.password ? std::optional<std::string>(admin.EncryptPassword(*update.password, login)) : std::nullopt;
  TPgTransaction t(admin);
  if (!IsTechniciansLogin(admin, login)) throw TeamError("Нет такого техника: " + login);
  const TRow now = admin.Query("SELECT role, sees_codes FROM zarvex.technicians WHERE login = $1", {login})[0];
  const TRole role = update.role ? *update.role : RoleByName(now[0].value_or(""));
  const bool codes = update.seesCodes ? *update.seesCodes : now[1] == std::string("t");
  if (hashed) admin.Exec("ALTER ROLE " + who + " LOGIN PASSWORD " + admin.QuoteLiteral(*hashed));
  SetRoleGroup(admin, who, role);
  if (update.branch) admin.Query("INSERT INTO zarvex.branches VALUES ($1) ON CONFLICT DO NOTHING", {*update.branch});
  admin.Query("UPDATE zarvex.technicians SET role = $2, sees_codes = $3, branch = coalesce($4, branch), active = true "
              "WHERE login = $1",
              {login, std::string(RoleName(role)), std::string(codes || role != TRole::Technician ? "t" : "f"),
               update.branch});
  t.Commit();
}

void RemoveTechnician(TPgConnection& admin, const std::string& login) {
  CheckLogin(login);
  TPgTransaction t(admin);
  if (!IsTechniciansLogin(admin, login)) throw TeamError("Нет такого техника: " + login);
  admin.Query("UPDATE zarvex.technicians SET active = false WHERE login = $1", {login});
  admin.Exec("ALTER ROLE " + admin.QuoteIdentifier(login) + " NOLOGIN");
  EndSessions(admin, login);
  t.Commit();
}

std::string MoveSite(TPgConnection& caller, const std::string& siteUid, const std::string& branch) {
  if (branch.empty()) throw TeamError("Нужен филиал, куда перенести объект");
  return caller.Query("SELECT zarvex.move_site($1, $2)", {siteUid, branch})[0][0].value_or("");
}

std::vector<TLaptopSync> Laptops(TPgConnection& admin) {
  std::vector<TLaptopSync> list;
  for (const TRow& r : admin.Query(
           "SELECT login, coalesce(branch, ''), laptop, to_char(synced AT TIME ZONE 'UTC', "
           "'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), sent, taken, waiting, refused, coalesce(active, false), "
           "floor(extract(epoch FROM now() - synced) / 86400)::integer FROM zarvex.laptops()")) {
    const auto text = [&](size_t i) { return r[i].value_or(""); };
    list.push_back({text(0), text(1), text(2), text(3), std::stoi(text(4)), std::stoi(text(5)), std::stoi(text(6)),
                    std::stoi(text(7)), text(8) == "t", std::stoi(text(9))});
  }
  return list;
}

std::vector<std::string> Branches(TPgConnection& admin) {
  std::vector<std::string> names;
  for (const TRow& r : admin.Query("SELECT name FROM zarvex.branches ORDER BY name")) names.push_back(*r[0]);
  return names;
}

}  // namespace zarvex::team
