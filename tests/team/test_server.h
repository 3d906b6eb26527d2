#pragma once
// A PostgreSQL 15 of the tests' own (pg-test-server.sh): TLS verified
// against a CA made for the run, SCRAM only, the team schema, and four
// technicians (ivan and olga in «Север», petr and the senior anna in «Юг»),
// their passwords in a pgpass file of the test's own.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "sites/site_store.h"
#include "team/pg_connection.h"
#include "team/team_admin.h"
#include "team/team_sync.h"

namespace zarvex::team::test {

namespace fs = std::filesystem;

struct TServer {
  fs::path dir;
  std::string port;
  TServerAddress As(const std::string& user) const {
    TServerAddress a;
    a.host = "127.0.0.1";
    a.port = port;
    a.database = "postgres";
    a.user = user;
    a.caFile = (dir / "ca.crt").string();
    return a;
  }
  std::unique_ptr<TPgConnection> Connect(const std::string& user) const {
    return std::make_unique<TPgConnection>(ConnInfo(As(user), std::chrono::seconds(10)));
  }
};
inline TServer* server = nullptr;

class ServerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static TServer s;
    s.dir = fs::temp_directory_path() / ("zarvex-team-test-" + std::to_string(getpid()));
    fs::remove_all(s.dir);
    fs::create_directories(s.dir);
    s.port = std::to_string(20000 + getpid() % 30000);
    const std::string start = "bash " ZARVEX_PG_TEST_SERVER " start " + (s.dir / "server").string() + " " + s.port;
    ASSERT_EQ(std::system(start.c_str()), 0) << start;
    s.dir /= "server";
    // Passwords where libpq looks for them, in a file of the test's own.
    std::ifstream admin(s.dir / "admin.password");
    std::string password;
    std::getline(admin, password);
    const fs::path pgpass = s.dir.parent_path() / "pgpass";
    // Any port: the cutting proxy stands in front of the server on its own.
    std::ofstream(pgpass) << "127.0.0.1:*:*:company_root:" << password << "\n"
                          << "127.0.0.1:*:*:ivan:ivan-password\n"
                          << "127.0.0.1:*:*:olga:olga-password\n"
                          << "127.0.0.1:*:*:petr:petr-password\n"
                          << "127.0.0.1:*:*:anna:anna-password\n";
    fs::permissions(pgpass, fs::perms::owner_read | fs::perms::owner_write);
    setenv("PGPASSFILE", pgpass.c_str(), 1);
    server = &s;
    auto root = s.Connect("company_root");
    ASSERT_EQ(InitTeamSchema(*root), 0);
    AddTechnician(*root, "ivan", "Север", TRole::Technician, "ivan-password", false);
    AddTechnician(*root, "olga", "Север", TRole::Technician, "olga-password", false);
    AddTechnician(*root, "petr", "Юг", TRole::Technician, "petr-password", false);
    AddTechnician(*root, "anna", "Юг", TRole::Senior, "anna-password", false);
  }
  void TearDown() override {
    if (!server) return;
    const std::string stop = "bash " ZARVEX_PG_TEST_SERVER " stop " + server->dir.string();
    std::system(stop.c_str());
    std::error_code ignored;
    fs::remove_all(server->dir.parent_path(), ignored);
  }
};


// A laptop: its own site database, syncing as one technician.
struct TLaptop {
  TLaptop(const std::string& name, const std::string& user) : login(user) {
    path = (server->dir.parent_path() / (name + ".db")).string();
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
    sites::TStoreOptions options;
    options.dailyBackups = 0;
    store = std::make_unique<sites::TSiteStore>(path, options);
  }
  TSyncReport Sync() {
    auto link = server->Connect(login);
    return team::Sync(*store, *link);
  }
  std::string login, path;
  std::unique_ptr<sites::TSiteStore> store;
};

}  // namespace zarvex::team::test
