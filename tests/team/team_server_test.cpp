// The company's database on a real PostgreSQL 15 of the tests' own (TLS
// verified against a CA made for the run, SCRAM only): laptops share sites
// through it and converge; a retry duplicates nothing; a pull passes over
// no row committed out of order; and the server, not the client, keeps a
// technician to his branch, his functions and the codes he may see.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#ifdef ZARVEX_TEAM_CLI_TESTS
#include "cli/cli_app.h"
#include "cli/team_command.h"
#endif
#include "cut_proxy.h"
#include "test_server.h"
#include "settings/settings_format.h"
#include "sites/sha256.h"
#include "sites/site_store.h"
#include "team/team_admin.h"
#include "team/team_join.h"
#include "team/team_schema_sql.h"
#include "team/team_sync.h"

namespace zarvex::team::test {
namespace {

const auto* const environment = ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

std::string PanelFile(const std::string& id, const std::string& codes = "1234") {
  TCFG cfg;
  cfg.Phone.fill("*");
  cfg.VpnAndId = "1" + id;
  cfg.FirmwareVersion = 430;
  cfg.KeypadCode0 = codes;
  return FormatSettings(cfg);
}

TEST(TeamSyncTest, ASiteFiledOnOneLaptopReachesAColleagueAndOneSidedEditsTravelBothWays) {
  TLaptop a("a1", "ivan"), b("b1", "olga");
  const sites::TSite site = a.store->CreateSite({0, "", "Аптека №1", "ООО «Здоровье»", "ул. Мира, 1"});
  a.store->FileSnapshot(PanelFile("700001"), "read", site.id, "2026-11-01T10:00:00.000Z");
  const TSyncReport sent = a.Sync();
  EXPECT_EQ(sent.sitesSent, 1);
  EXPECT_EQ(sent.snapshotsSent, 1);
  EXPECT_EQ(SyncStatus(*a.store).changesWaiting, 0);

  const TSyncReport taken = b.Sync();
  EXPECT_GE(taken.sitesTaken, 1);
  const auto there = b.store->SiteByUid(site.uid);
  ASSERT_TRUE(there);
  EXPECT_EQ(there->name, "Аптека №1");
  EXPECT_EQ(there->address, "ул. Мира, 1");
  // The panel that read found comes with it, as it is on the first laptop.
  const auto panels = b.store->Panels(there->id);
  ASSERT_EQ(panels.size(), 1u);
  EXPECT_EQ(panels[0].identity.panelId, "700001");
  EXPECT_EQ(panels[0].lastRead, a.store->Panels(site.id)[0].lastRead);

  // Only the colleague changes the address: taken, no conflict.
  sites::TSite edited = *there;
  edited.changed.clear();
  edited.address = "ул. Мира, 3";
  b.store->UpdateSite(edited);
  b.Sync();
  a.Sync();
  EXPECT_EQ(a.store->Site(site.id)->address, "ул. Мира, 3");
  EXPECT_TRUE(a.store->Conflicts(site.id).empty());

  // Both change the name: the same conflict on both laptops.
  sites::TSite mine = *a.store->Site(site.id), theirs = *b.store->SiteByUid(site.uid);
  mine.changed.clear();
  theirs.changed.clear();
  mine.name = "Аптека «Север»";
  theirs.name = "Аптека на Мира";
  a.store->UpdateSite(mine);
  b.store->UpdateSite(theirs);
  a.Sync();
  b.Sync();
  a.Sync();
  const auto conflictsA = a.store->Conflicts(site.id);
  const auto conflictsB = b.store->Conflicts(b.store->SiteByUid(site.uid)->id);
  ASSERT_EQ(conflictsA.size(), 1u);
  ASSERT_EQ(conflictsB.size(), 1u);
  EXPECT_EQ(a.store->Site(site.id)->name, b.store->SiteByUid(site.uid)->name);
  // Resolved on one side, resolved everywhere.
  b.store->Resolve(b.store->SiteByUid(site.uid)->id, "name", "Аптека на Мира");
  b.Sync();
  a.Sync();
  EXPECT_TRUE(a.store->Conflicts(site.id).empty());
  EXPECT_EQ(a.store->Site(site.id)->name, "Аптека на Мира");
}

TEST(TeamSyncTest, WhatIsSentAgainAfterAnyFailureIsHeldOnceAndASecondSyncCarriesNothing) {
  TLaptop a("a2", "ivan"), b("b2", "olga");
  const sites::TSite site = a.store->CreateSite({0, "", "Гараж"});
  for (int i = 0; i < 3; ++i) a.store->FileSnapshot(PanelFile("71000" + std::to_string(i)), "read", site.id);
  a.Sync();
  // As if every answer had been lost: the laptop sends it all again.
  a.store->Database().Exec(
      "DELETE FROM team_sent_changes; DELETE FROM team_sent_snapshots; DELETE FROM team_sent_sites; "
      "UPDATE meta SET value = '0' WHERE key IN ('team.change_mark', 'team.snapshot_mark')");
  EXPECT_GT(a.Sync().changesSent, 0);
  auto root = server->Connect("company_root");
  EXPECT_EQ(*root->Query("SELECT count(*) FROM zarvex.snapshots WHERE site_uid = $1", {site.uid})[0][0], "3");
  EXPECT_EQ(*root->Query("SELECT count(*) FROM zarvex.changes WHERE site_uid = $1", {site.uid})[0][0], "5");
  b.Sync();
  const TSyncReport again = b.Sync();
  EXPECT_EQ(again.changesTaken + again.snapshotsTaken + again.sitesTaken, 0);
  EXPECT_EQ(b.store->Snapshots(b.store->SiteByUid(site.uid)->id).size(), 3u);
}

TEST(TeamSyncTest, ASnapshotFiledAfterASyncUnderASiteStillGoes) {
  TLaptop a("a7", "ivan"), b("b7", "olga");
  const sites::TSite site = a.store->CreateSite({0, "", "Склад у реки"});
  const sites::TSnapshotRecord unfiled = a.store->FileSnapshot(PanelFile("760001"), "read", std::nullopt);
  a.store->FileSnapshot(PanelFile("760002"), "read", site.id);
  a.Sync();
  EXPECT_EQ(SyncStatus(*a.store).snapshotsWaiting, 0);
  a.store->Refile(unfiled.id, site.id);  // from «Без объекта», a day later
  EXPECT_EQ(SyncStatus(*a.store).snapshotsWaiting, 1);
  EXPECT_EQ(a.Sync().snapshotsSent, 1);
  // On the colleague's laptop, one left unfiled before it took the site in:
  // filed there later, it alone waits, not what its pull brought.
  const sites::TSnapshotRecord loose = b.store->FileSnapshot(PanelFile("760003"), "read", std::nullopt);
  b.Sync();
  EXPECT_EQ(b.store->Snapshots(b.store->SiteByUid(site.uid)->id).size(), 2u);
  b.store->Refile(loose.id, b.store->SiteByUid(site.uid)->id);
  EXPECT_EQ(SyncStatus(*b.store).snapshotsWaiting, 1);
  EXPECT_EQ(b.Sync().snapshotsSent, 1);
  a.Sync();
  EXPECT_EQ(a.store->Snapshots(site.id).size(), 3u);
}

TEST(TeamSyncTest, AConnectionCutAnywhereInAPushOrAPullLosesAndDuplicatesNothing) {
  TLaptop a("a6", "ivan"), b("b6", "olga");
  auto root = server->Connect("company_root");
  int cuts = 0;
  // From inside the TLS handshake to the last answer of the pull.
  for (long budget = 2000; budget < 14000; budget += budget / 10) {
    const sites::TSite site = a.store->CreateSite({0, "", "Объект " + std::to_string(budget)});
    for (int i = 0; i < 4; ++i) {
      a.store->FileSnapshot(PanelFile(std::to_string(740000 + budget + i)), "read", site.id);
    }
    for (TLaptop* laptop : {&a, &b}) {
      TCutProxy proxy(std::stoi(server->port), budget);
      TServerAddress through = server->As(laptop->login);
      through.port = proxy.Port();
      try {
        TPgConnection link(ConnInfo(through, std::chrono::seconds(5)));
        team::Sync(*laptop->store, link);
      } catch (const TeamError&) {
        // Outcome unknown: the next sync settles it.
      }
      cuts += proxy.Cut() ? 1 : 0;
    }
    a.Sync();
    b.Sync();
    // Exactly once on the server and on the colleague's laptop.
    EXPECT_EQ(*root->Query("SELECT count(*) FROM zarvex.changes WHERE site_uid = $1", {site.uid})[0][0], "5");
    EXPECT_EQ(*root->Query("SELECT count(*) FROM zarvex.snapshots WHERE site_uid = $1", {site.uid})[0][0], "4");
    const auto there = b.store->SiteByUid(site.uid);
    ASSERT_TRUE(there) << budget;
    EXPECT_EQ(there->name, site.name);
    EXPECT_EQ(b.store->Snapshots(there->id).size(), 4u);
    EXPECT_EQ(b.store->Changes(there->id).size(), 5u);
    EXPECT_EQ(SyncStatus(*a.store).changesWaiting + SyncStatus(*a.store).snapshotsWaiting, 0);
  }
  EXPECT_GT(cuts, 20);  // the cuts did fall inside the syncs
}

// What a laptop holds of the branch's sites, in words that do not depend
// on which side a conflict was seen from.
std::map<std::string, std::string> Holdings(sites::TSiteStore& store) {
  std::map<std::string, std::string> held;
  for (const sites::TSite& site : store.Sites()) {
    std::string text = site.name + "|" + site.customer + "|" + site.address + "|" + site.phones + "|" + site.notes;
    std::set<std::string> conflicts;
    for (const auto& c : store.Conflicts(site.id)) {
      conflicts.insert(c.field + ":" + std::min(c.local, c.imported) + "/" + std::max(c.local, c.imported));
    }
    for (const std::string& c : conflicts) text += "|" + c;
    text += "|snapshots " + std::to_string(store.Snapshots(site.id, -1).size());
    std::set<std::string> panels;  // each with its newest read
    for (const auto& p : store.Panels(site.id)) panels.insert(p.identity.panelId + "@" + p.lastRead);
    for (const std::string& p : panels) text += "|panel " + p;
    held[site.uid] = text;
  }
  return held;
}

TEST(TeamSyncTest, RandomEditsOnSeveralLaptopsSyncedInRandomOrdersWithCutsConvergeEverywhere) {
  for (unsigned seed : {1u, 2u, 3u}) {
    std::mt19937 random(seed);
    const auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    std::vector<std::unique_ptr<TLaptop>> laptops;
    const char* const logins[] = {"ivan", "olga", "ivan", "olga", "anna"};
    const size_t count = 3 + seed % 3;
    for (size_t i = 0; i < count; ++i) {
      laptops.push_back(std::make_unique<TLaptop>("p" + std::to_string(seed) + "-" + std::to_string(i), logins[i]));
    }
    std::vector<std::string> uids;
    for (int step = 0; step < 60; ++step) {
      TLaptop& laptop = *laptops[pick(laptops.size())];
      const size_t action = pick(10);
      if (action == 0 || uids.empty()) {
        if (laptop.login == "anna") continue;  // a senior's new site would go to his own branch
        uids.push_back(laptop.store->CreateSite({0, "", "Объект " + std::to_string(seed * 100 + step)}).uid);
      } else if (action < 6) {
        const auto site = laptop.store->SiteByUid(uids[pick(uids.size())]);
        if (!site) continue;  // not synced here yet
        sites::TSite edited = *site;
        edited.changed.clear();
        const std::string value = "знач " + std::to_string(step);
        switch (pick(3)) {
          case 0: edited.name = "Объект " + value; break;
          case 1: edited.address = value; break;
          default: edited.notes = value; break;
        }
        laptop.store->UpdateSite(edited);
      } else if (action < 8) {
        const auto site = laptop.store->SiteByUid(uids[pick(uids.size())]);
        // A few panels, each read again and again, on several laptops.
        if (site) laptop.store->FileSnapshot(PanelFile(std::to_string(750000 + seed * 1000 + pick(3))), "read", site->id);
      } else {
        TCutProxy proxy(std::stoi(server->port), action == 8 ? 3000 + static_cast<long>(pick(9000)) : 1L << 30);
        TServerAddress through = server->As(laptop.login);
        through.port = proxy.Port();
        try {
          TPgConnection link(ConnInfo(through, std::chrono::seconds(5)));
          team::Sync(*laptop.store, link);
        } catch (const TeamError&) {
        }
      }
    }
    for (int round = 0; round < 2; ++round) {
      for (auto& laptop : laptops) laptop->Sync();
    }
    const auto expected = Holdings(*laptops[0]->store);
    for (const std::string& uid : uids) EXPECT_TRUE(expected.count(uid)) << seed;
    for (auto& laptop : laptops) {
      auto held = Holdings(*laptop->store);
      // The senior also sees other branches' sites made by other tests.
      if (laptop->login == "anna") {
        for (auto it = held.begin(); it != held.end();) it = expected.count(it->first) ? std::next(it) : held.erase(it);
      }
      EXPECT_EQ(held, expected) << "seed " << seed << ", " << laptop->path;
    }
  }
}

TEST(TeamSyncTest, APullPassesOverNoRowCommittedOutOfOrder) {
  TLaptop a("a3", "ivan"), b("b3", "olga");
  const sites::TSite early = a.store->CreateSite({0, "", "Ранний"});
  // Another laptop's push that began first and commits last.
  auto slow = server->Connect("ivan");
  slow->Exec("BEGIN");
  slow->Query("SELECT * FROM zarvex.push_sites(ARRAY[$1], ARRAY[$2], ARRAY[''])", {early.uid, early.created});
  const sites::TSite late = a.store->CreateSite({0, "", "Поздний"});
  auto quick = server->Connect("olga");
  quick->Query("SELECT * FROM zarvex.push_sites(ARRAY[$1], ARRAY[$2], ARRAY[''])", {late.uid, late.created});
  b.Sync();  // the later commit waits behind the running one
  EXPECT_FALSE(b.store->SiteByUid(late.uid));
  slow->Exec("COMMIT");
  a.Sync();
  b.Sync();
  EXPECT_TRUE(b.store->SiteByUid(early.uid));
  EXPECT_TRUE(b.store->SiteByUid(late.uid));
  EXPECT_EQ(b.store->SiteByUid(late.uid)->name, "Поздний");
}

TEST(TeamRightsTest, ATechnicianReadsNoTableSeesNoOtherBranchAndNoCodesAndForgesNothing) {
  TLaptop north("n4", "ivan"), south("s4", "petr"), senior("z4", "anna");
  const sites::TSite site = north.store->CreateSite({0, "", "Банк «Северный»"});
  const std::string file = PanelFile("720001", "9876");
  north.store->FileSnapshot(file, "read", site.id, "2026-11-02T10:00:00.000Z");
  north.Sync();

  auto ivan = server->Connect("ivan");
  for (const char* table : {"sites", "changes", "snapshots", "technicians", "branches"}) {
    EXPECT_THROW(ivan->Query(std::string("SELECT * FROM zarvex.") + table), TeamForbidden) << table;
  }
  EXPECT_THROW(ivan->Query("INSERT INTO zarvex.changes(change_id, site_uid, field, value, parents, made, technician, "
                           "laptop, pushed_by) VALUES ('x', $1, 'name', 'чужое', '{}', '', '', '', 'olga')",
                           {site.uid}),
               TeamForbidden);
  EXPECT_THROW(ivan->Query("SELECT zarvex.caller()"), TeamForbidden);
  // Through psql as well, as the technician would try it.
  const std::string psql = "psql -X -q \"host=127.0.0.1 port=" + server->port +
                           " dbname=postgres user=ivan sslmode=verify-full sslrootcert=" +
                           (server->dir / "ca.crt").string() + "\" -c 'SELECT * FROM zarvex.snapshots' 2>/dev/null";
  EXPECT_NE(std::system(psql.c_str()), 0);

  south.Sync();
  EXPECT_FALSE(south.store->SiteByUid(site.uid));  // another branch

  // A colleague of his branch gets the snapshot without its codes; a senior whole.
  TLaptop colleague("c4", "olga");
  colleague.Sync();
  const auto masked = colleague.store->Snapshots(colleague.store->SiteByUid(site.uid)->id);
  ASSERT_EQ(masked.size(), 1u);
  EXPECT_EQ(masked[0].content.find("9876"), std::string::npos);
  EXPECT_EQ(CountSettingsLines(masked[0].content), kSettingsFileLines);
  senior.Sync();
  const auto whole = senior.store->Snapshots(senior.store->SiteByUid(site.uid)->id);
  ASSERT_EQ(whole.size(), 1u);
  EXPECT_EQ(whole[0].content, file);
  EXPECT_EQ(whole[0].hash, sites::Sha256Hex(file));

  // Nobody may push under the name of another site's branch.
  const std::string before = *server->Connect("company_root")->Query("SELECT count(*) FROM zarvex.changes")[0][0];
  auto petr = server->Connect("petr");
  const auto refused = petr->Query(
      "SELECT item, refusal FROM zarvex.push_changes(ARRAY['forged'], ARRAY[$1], ARRAY['name'], "
      "ARRAY[convert_to('чужое', 'UTF8')], ARRAY[''], ARRAY[''], ARRAY[''], ARRAY['']) WHERE item IS NOT NULL",
      {site.uid});
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0][0], std::string("forged"));
  EXPECT_EQ(*server->Connect("company_root")->Query("SELECT count(*) FROM zarvex.changes")[0][0], before);
}

TEST(TeamRightsTest, PlainConnectionsAWrongCaAndARemovedTechnicianAreRefused) {
  TServerAddress a = server->As("ivan");
  EXPECT_THROW(TPgConnection(ConnInfo(a) + " sslmode=disable"), TeamError);
  a.caFile = (server->dir / "other-ca.crt").string();
  EXPECT_THROW(TPgConnection{ConnInfo(a)}, TeamError);

  auto root = server->Connect("company_root");
  AddTechnician(*root, "gone", "Север", TRole::Technician, "gone-password", false);
  RemoveTechnician(*root, "gone");
  TServerAddress g = server->As("gone");
  EXPECT_THROW(TPgConnection(ConnInfo(g) + " password=gone-password"), TeamForbidden);
}

TEST(TeamRightsTest, ATechnicianWithAClientCertificateSyncsWithoutAPasswordAndWithoutItIsRefused) {
  auto root = server->Connect("company_root");
  // Her role's password is never used: the server asks her for the certificate.
  AddTechnician(*root, "vera", "Север", TRole::Technician, "unused-password", false);
  const TServerAddress joined = ParseServerUrl("postgresql://vera@127.0.0.1:" + server->port + "/postgres?sslcert=" +
                                               (server->dir / "vera.crt").string() + "&sslkey=" +
                                               (server->dir / "vera.key").string());
  TServerAddress a = server->As("vera");
  a.certFile = joined.certFile;
  a.keyFile = joined.keyFile;
  ASSERT_EQ(a.certFile, (server->dir / "vera.crt").string());

  TLaptop laptop("v1", "vera"), colleague("v2", "olga");
  const sites::TSite site = laptop.store->CreateSite({0, "", "Гараж Веры"});
  EXPECT_EQ(JoinServer(*laptop.store, a, nullptr).login, "vera");  // no password asked
  TPgConnection link(ConnInfo(ServerAddress(*laptop.store)));
  const TSyncReport sent = Sync(*laptop.store, link);
  EXPECT_EQ(sent.sitesSent, 1);
  colleague.Sync();
  EXPECT_TRUE(colleague.store->SiteByUid(site.uid));

  // Without it, or with a password alone, she is not let in.
  EXPECT_THROW(TPgConnection(ConnInfo(server->As("vera")) + " password=unused-password"), TeamError);
}

TEST(TeamSchemaTest, InitTwiceChangesNothingAndASchemaNewerThanTheProgramIsRefused) {
  auto root = server->Connect("company_root");
  EXPECT_EQ(InitTeamSchema(*root), kTeamSchemaVersion);
  root->Exec("INSERT INTO zarvex.schema_version VALUES (99)");
  EXPECT_THROW(InitTeamSchema(*root), TeamError);
  root->Exec("DELETE FROM zarvex.schema_version WHERE version = 99");
}

TEST(TeamSchemaTest, AVersionOneServerMigratesAndAnAdministratorWhoIsNoSuperuserRunsTheCompany) {
  auto root = server->Connect("company_root");
  root->Exec("CREATE ROLE boss LOGIN CREATEROLE PASSWORD 'boss-password'");
  for (const char* database : {"company_v1", "company"}) {
    root->Exec(std::string("CREATE DATABASE ") + database + " OWNER boss");
  }
  const auto as = [](const std::string& user, const std::string& database, const std::string& password) {
    TServerAddress a = server->As(user);
    a.database = database;
    return std::make_unique<TPgConnection>(ConnInfo(a) + " password=" + password);
  };

  // A server set up by the first version of the program: taken to the newest.
  std::ifstream adminPassword(server->dir / "admin.password");
  std::string rootPassword;
  std::getline(adminPassword, rootPassword);
  auto v1 = as("company_root", "company_v1", rootPassword);
  {
    TPgTransaction t(*v1);
    v1->Exec(TeamSchemaSteps()[0]);
    t.Commit();
  }
  EXPECT_EQ(InitTeamSchema(*v1), 1);
  EXPECT_EQ(*v1->Query("SELECT max(version) FROM zarvex.schema_version")[0][0], std::to_string(kTeamSchemaVersion));

  // A managed PostgreSQL's administrator: CREATEROLE and his own database, no superuser.
  auto boss = as("boss", "company", "boss-password");
  EXPECT_EQ(InitTeamSchema(*boss), 0);
  AddTechnician(*boss, "kira", "Восток", TRole::Technician, "kira-password", false);
  AddTechnician(*boss, "lev", "Восток", TRole::Technician, "lev-password", false);
  EXPECT_EQ(Branches(*boss), std::vector<std::string>{"Восток"});
  TLaptop kira("k1", "kira"), lev("l1", "lev");
  const sites::TSite site = kira.store->CreateSite({0, "", "Склад «Восток»"});
  auto kiraLink = as("kira", "company", "kira-password");
  EXPECT_EQ(Sync(*kira.store, *kiraLink).sitesSent, 1);
  auto levLink = as("lev", "company", "lev-password");
  Sync(*lev.store, *levLink);
  EXPECT_TRUE(lev.store->SiteByUid(site.uid));
  // The walls stand for his technicians as for a superuser's.
  EXPECT_THROW(kiraLink->Query("SELECT * FROM zarvex.technicians"), TeamForbidden);
  RemoveTechnician(*boss, "lev");
  EXPECT_THROW(as("lev", "company", "lev-password"), TeamForbidden);
}

// A laptop of this program meets a server still at version 2 (its
// administrator has not run `team init` since): it syncs through the old
// functions. Migrated, snapshots go as binary arrays and arrive byte for
// byte, and a laptop's pull passes over its own push, but not over what the
// same technician pushed from another laptop.
TEST(TeamSchemaTest, AVersionTwoServerStillSyncsAndAfterItsMigrationNoLaptopMissesARow) {
  auto root = server->Connect("company_root");
  root->Exec("CREATE DATABASE company_v2");
  std::string rootPassword;
  std::getline(std::ifstream(server->dir / "admin.password"), rootPassword);
  const auto as = [&](const std::string& user, const std::string& password) {
    TServerAddress a = server->As(user);
    a.database = "company_v2";
    return std::make_unique<TPgConnection>(ConnInfo(a) + " password=" + password);
  };
  auto admin = as("company_root", rootPassword);
  {
    TPgTransaction t(*admin);
    admin->Exec(TeamSchemaSteps()[0]);
    admin->Exec(TeamSchemaSteps()[1]);
    t.Commit();
  }
  AddTechnician(*admin, "mila", "Юг", TRole::Technician, "mila-password", true);
  AddTechnician(*admin, "oleg", "Юг", TRole::Technician, "oleg-password", true);
  TLaptop mila("m1", "mila"), milaAtHome("m2", "mila"), oleg("o1", "oleg");
  const auto sync = [&](TLaptop& laptop) {
    auto link = as(laptop.login, laptop.login + "-password");
    return Sync(*laptop.store, *link);
  };
  const auto fileTricky = [&](const std::string& id) {
    TCFG cfg;
    cfg.Phone.fill("*");
    cfg.VpnAndId = "1" + id;
    cfg.AccessPoint = "in\"te\\r{n,e}t'ф";
    const sites::TSite site = mila.store->CreateSite({0, "", "Объект " + id});
    return mila.store->FileSnapshot(FormatSettings(cfg), "read", site.id);
  };
  const auto arrivedWhole = [&](TLaptop& laptop, const sites::TSnapshotRecord& sent) {
    for (const auto& s : laptop.store->Snapshots(laptop.store->SiteByUid(mila.store->Site(*sent.siteId)->uid)->id)) {
      if (s.hash == sent.hash) return s.content == sent.content;
    }
    return false;
  };

  const sites::TSnapshotRecord before = fileTricky("790001");
  EXPECT_EQ(sync(mila).snapshotsSent, 1);
  sync(oleg);
  EXPECT_TRUE(arrivedWhole(oleg, before));

  EXPECT_EQ(InitTeamSchema(*admin), 2);
  const sites::TSnapshotRecord after = fileTricky("790002");
  const TSyncReport pushed = sync(mila);
  EXPECT_EQ(pushed.snapshotsSent, 1);
  EXPECT_EQ(pushed.snapshotsTaken + pushed.changesTaken + pushed.sitesTaken, 0);
  // The cursor passed the push without the push being sent back.
  const TRow last = admin->Query("SELECT xid, seq FROM zarvex.snapshots ORDER BY xid DESC, seq DESC LIMIT 1")[0];
  EXPECT_EQ(mila.store->Meta("team.cursor"), *last[0] + ":" + *last[1]);
  for (TLaptop* laptop : {&oleg, &milaAtHome}) {
    sync(*laptop);
    EXPECT_TRUE(arrivedWhole(*laptop, before));
    EXPECT_TRUE(arrivedWhole(*laptop, after));
    EXPECT_EQ(SyncStatus(*laptop->store).snapshotsWaiting, 0);
  }
  // Even the superuser cannot leave a snapshot naming no site.
  EXPECT_THROW(admin->Exec("DELETE FROM zarvex.sites"), TeamError);
  EXPECT_THROW(admin->Exec("TRUNCATE zarvex.sites CASCADE"), TeamError);
  EXPECT_THROW(admin->Exec("UPDATE zarvex.sites SET uid = uid || 'x'"), TeamError);
  EXPECT_THROW(admin->Exec("UPDATE zarvex.snapshots SET site_uid = 'nowhere'"), TeamError);
  EXPECT_THROW(admin->Exec("INSERT INTO zarvex.snapshots(hash, taken, kind, site_uid, content, codes, "
                           "program_version, technician, model, firmware, pushed_by) SELECT hash || 'x', taken, kind, "
                           "'nowhere', content, codes, program_version, technician, model, firmware, pushed_by FROM "
                           "zarvex.snapshots"),
               TeamError);
  EXPECT_EQ(*admin->Query("SELECT count(*) FROM zarvex.snapshots")[0][0], "2");
  // A batch whose columns differ in length is refused whole.
  auto link = as("mila", "mila-password");
  EXPECT_THROW(link->Query("SELECT * FROM zarvex.push_snapshots('{a}', '{}', '{}', '{}', '{}', '{}', '{}', '{}', "
                           "'{}', '{}')"),
               TeamError);
}

TEST(TeamSyncTest, ASilentServerIsToldByTheProgramsOwnDeadline) {
  // Takes the connection and never says a word.
  int port = 0;
  const int silent = ListenOnLoopback(port);
  ASSERT_GE(silent, 0);
  TServerAddress quiet = server->As("ivan");
  quiet.port = std::to_string(port);
  EXPECT_THROW(TPgConnection(ConnInfo(quiet, std::chrono::seconds(2))), TeamUnreachable);

  // Asked to stop (Ctrl+C, the window closing), the wait ends long before
  // the connection's own deadline, and the stop is told as a stop.
  std::atomic<bool> stop{false};
  std::thread asker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stop = true;
  });
  const auto started = std::chrono::steady_clock::now();
  EXPECT_THROW(TPgConnection(ConnInfo(quiet, std::chrono::seconds(60)), &stop), TeamStopped);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
  asker.join();
  close(silent);
}

TEST(TeamSyncTest, AServerThatCannotBeReachedIsToldAndChangesNothingHere) {
  TLaptop a("a5", "ivan");
  const sites::TSite site = a.store->CreateSite({0, "", "Подвал"});
  TServerAddress nowhere = server->As("ivan");
  nowhere.port = "1";  // nothing listens
  EXPECT_THROW(TPgConnection(ConnInfo(nowhere, std::chrono::seconds(2))), TeamUnreachable);
  EXPECT_EQ(SyncStatus(*a.store).changesWaiting, 0);  // never joined: no ledger yet
  a.Sync();
  EXPECT_EQ(SyncStatus(*a.store).changesWaiting, 0);
  a.store->UpdateSite({site.id, site.uid, "Подвал №2"});
  EXPECT_EQ(SyncStatus(*a.store).changesWaiting, 1);
}

TEST(TeamCodesTest, ASettingsFileSplitsFromItsCodesAndJoinsBackByteForByte) {
  const std::string file = PanelFile("730001", "4321");
  std::string codes;
  const std::string masked = WithoutCodes(file, &codes);
  EXPECT_EQ(codes.substr(0, 4), "4321");
  EXPECT_EQ(masked.find("4321"), std::string::npos);
  EXPECT_EQ(CountSettingsLines(masked), kSettingsFileLines);
  EXPECT_EQ(WithCodes(masked, codes), file);
}

#ifdef ZARVEX_TEAM_CLI_TESTS  // zarvex-cli is built with the window's layers
struct TCliRun {
  int code;
  std::string out, err;
};

TCliRun Team(const std::string& db, std::vector<std::string> words, const std::string& input = "", bool json = false) {
  std::ostringstream out, err;
  std::istringstream in(input);
  cli::CliEnvironment env{.out = out, .err = err};
  env.sitesDatabase = db;
  const int code = cli::RunTeamCommand(words, json, env, in);
  return {code, out.str(), err.str()};
}

TEST(TeamCliTest, JoinKeepsThePasswordWhereLibpqLooksAndAnUnreachableSyncIsToldInOneSentence) {
  const fs::path home = server->dir.parent_path() / "cli";
  fs::create_directories(home);
  const std::string db = (home / "sites.db").string();
  const std::string ownPgpass = (home / "pgpass").string();
  const std::string before = std::getenv("PGPASSFILE");
  setenv("PGPASSFILE", ownPgpass.c_str(), 1);
  const std::string url = "postgresql://olga@127.0.0.1:" + server->port + "/postgres";
  TCliRun r = Team(db, {"join", url, "--ca", (server->dir / "ca.crt").string(), "--password-stdin"}, "olga-password\n");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("филиал «Север»"), std::string::npos) << r.err;
  EXPECT_EQ(fs::status(ownPgpass).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  {
    sites::TSiteStore store(db);
    for (const std::string& key : {"team.host", "team.user", "team.ca"}) {
      EXPECT_EQ(store.Meta(key).find("olga-password"), std::string::npos);
    }
    store.CreateSite({0, "", "Из командной строки"});
  }
  r = Team(db, {"status"}, "", true);
  EXPECT_NE(r.out.find("\"reachable\": true"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"changes_waiting\": 5"), std::string::npos) << r.out;
  EXPECT_EQ(Team(db, {"sync"}).code, 0);

  // The server gone: told in a sentence, exit 5, nothing changed here.
  {
    sites::TSiteStore store(db);
    store.SetMeta("team.port", "1");
  }
  r = Team(db, {"sync"});
  EXPECT_EQ(r.code, 5);
  EXPECT_NE(r.err.find("Ничего не изменено"), std::string::npos) << r.err;
  setenv("PGPASSFILE", before.c_str(), 1);
}
#endif

}  // namespace
}  // namespace zarvex::team::test
