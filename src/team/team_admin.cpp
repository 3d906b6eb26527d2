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

void AddTechnician(TPgConnection& admin, const std::string& login, const std::string& branch, TRole role,
                   const std::string& password, bool seesCodes) {
  if (login.empty() || branch.empty()) throw TeamError("Нужны имя техника и филиал");
  if (password.size() < 8) throw TeamError("Пароль техника должен быть не короче 8 знаков");
  const std::string who = admin.QuoteIdentifier(login);
  const std::string hashed = admin.EncryptPassword(password, login);
  const std::string group = std::string("zarvex_") + RoleName(role);
  TPgTransaction t(admin);
  const bool exists = admin.Query("SELECT 1 FROM pg_roles WHERE rolname = $1", {login}).size() == 1;
  admin.Exec((exists ? "ALTER ROLE " : "CREATE ROLE ") + who + " LOGIN PASSWORD " + admin.QuoteLiteral(hashed));
  for (const char* other : {"zarvex_technician", "zarvex_senior", "zarvex_admin"}) {
    if (group != other) admin.Exec(std::string("REVOKE ") + other + " FROM " + who);
  }
  admin.Exec("GRANT " + group + " TO " + who);
  admin.Query("INSERT INTO zarvex.branches VALUES ($1) ON CONFLICT DO NOTHING", {branch});
  admin.Query(
      "INSERT INTO zarvex.technicians(login, branch, role, sees_codes) VALUES ($1, $2, $3, $4) "
      "ON CONFLICT (login) DO UPDATE SET branch = $2, role = $3, sees_codes = $4, active = true",
      {login, branch, std::string(RoleName(role)), std::string(seesCodes || role != TRole::Technician ? "t" : "f")});
  t.Commit();
}

void RemoveTechnician(TPgConnection& admin, const std::string& login) {
  TPgTransaction t(admin);
  if (admin.Query("UPDATE zarvex.technicians SET active = false WHERE login = $1 RETURNING 1", {login}).empty()) {
    throw TeamError("Нет такого техника: " + login);
  }
  admin.Exec("ALTER ROLE " + admin.QuoteIdentifier(login) + " NOLOGIN");
  t.Commit();
}

std::vector<std::string> Branches(TPgConnection& admin) {
  std::vector<std::string> names;
  for (const TRow& r : admin.Query("SELECT name FROM zarvex.branches ORDER BY name")) names.push_back(*r[0]);
  return names;
}

}  // namespace zarvex::team
