// The company's server as a real panel and a hostile technician meet it:
// Windows-1251 texts and every byte value travel byte for byte; a row the
// server refuses waits on the laptop with its reason and blocks nothing;
// a masked snapshot leaves nothing to guess the codes from; and what a
// technician calls directly with his own login is checked row by row.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#ifdef ZARVEX_TEAM_CLI_TESTS
#include "cli/team_command.h"
#endif
#include "cut_proxy.h"
#include "settings/settings_format.h"
#include "sites/field_changes.h"
#include "sites/sha256.h"
#include "team/pgpass.h"
#include "team/team_join.h"
#include "test_server.h"

namespace zarvex::team::test {
namespace {

// What a Russian installation's panel holds: zone names, texts and the
// access point in Windows-1251 ("Шлейф 1", "Вход", "Склад №3"), and one
// text with every byte value from 0x01 to 0xFF.
std::string RealPanelFile(const std::string& id, const std::string& codes = "1234") {
  TCFG cfg;
  cfg.Phone.fill("+7912");
  cfg.VpnAndId = "1" + id;
  cfg.FirmwareVersion = 520;
  cfg.KeypadCode0 = codes;
  // Every text the file holds but the ID and the event masks, in Russian.
  const std::string word = "\xd8\xeb\xe5\xe9\xf4";  // «Шлейф»
  for (size_t i = 1; i < cfg.Phone.size(); ++i) cfg.Phone[i] = "\xc4\xee\xec " + std::to_string(i);  // «Дом N»
  for (Text* text : {&cfg.AuxText1, &cfg.AuxText2, &cfg.ServerAddress, &cfg.ReserveAddress}) *text = word + " \xb9" "2";
  for (size_t i = 3; i < cfg.InputName.size(); ++i) cfg.InputName[i] = word + " " + std::to_string(i + 1);
  cfg.InputName[0] = word + " 1";
  cfg.InputName[1] = "\xc2\xf5\xee\xe4";
  cfg.InputName[2] = "\xd1\xea\xeb\xe0\xe4 \xb9" "3";
  cfg.AccessPoint = "internet.\xec\xf2\xf1";
  for (int b = 1; b < 256; ++b) cfg.AuxText3.push_back(static_cast<char>(b));
  return FormatSettings(cfg);
}

TEST(TeamBytesTest, APanelsWindows1251TextsAndEveryByteReachEveryRoleByteForByte) {
  TLaptop north("bytes-n", "ivan"), colleague("bytes-c", "olga"), senior("bytes-s", "anna");
  const sites::TSite site = north.store->CreateSite({0, "", "Склад №3", "ООО «Ромашка»", "ул. Ленина, 5"});
  const std::string file = RealPanelFile("740001", "5678");
  ASSERT_NE(file.find('\xd8'), std::string::npos);
  north.store->FileSnapshot(file, "read", site.id, "2026-11-03T10:00:00.000Z");
  // A field value as a hand-over file may bring it: bytes that are no UTF-8.
  sites::TSite edited = *north.store->Site(site.id);
  edited.changed.clear();
  edited.notes = "\xc7\xe0\xec\xe5\xf2\xea\xe0: \xea\xeb\xfe\xf7 \xf3 \xee\xf5\xf0\xe0\xed\xfb";
  north.store->UpdateSite(edited);

  const TSyncReport sent = north.Sync();
  EXPECT_EQ(sent.snapshotsSent, 1);
  EXPECT_EQ(SyncStatus(*north.store).snapshotsWaiting, 0);
  EXPECT_EQ(SyncStatus(*north.store).changesWaiting, 0);
  EXPECT_TRUE(SyncStatus(*north.store).refused.empty());

  senior.Sync();
  const auto there = senior.store->SiteByUid(site.uid);
  ASSERT_TRUE(there);
  EXPECT_EQ(there->notes, edited.notes);
  EXPECT_EQ(there->name, "Склад №3");
  const auto whole = senior.store->Snapshots(there->id);
  ASSERT_EQ(whole.size(), 1u);
  EXPECT_EQ(whole[0].content, file);
  EXPECT_EQ(whole[0].hash, sites::Sha256Hex(file));
  EXPECT_FALSE(LacksCodes(whole[0]));

  colleague.Sync();
  const auto masked = colleague.store->Snapshots(colleague.store->SiteByUid(site.uid)->id);
  ASSERT_EQ(masked.size(), 1u);
  EXPECT_EQ(masked[0].content, WithoutCodes(file));
  EXPECT_TRUE(LacksCodes(masked[0]));
  TCFG back;
  ParseSettings(masked[0].content, back);
  EXPECT_EQ(back.InputName[2], "\xd1\xea\xeb\xe0\xe4 \xb9" "3");
  EXPECT_EQ(back.AuxText3.size(), 255u);
  EXPECT_TRUE(back.KeypadCode0.empty());
}

TEST(TeamBytesTest, ARowTheServerRefusesWaitsWithItsReasonAndTheRestGoes) {
  TLaptop south("refuse-s", "petr"), north("refuse-n", "ivan");
  const sites::TSite site = south.store->CreateSite({0, "", "Аптека «Юг»"});
  // Larger than a settings file can be: a 20 kB text.
  TCFG huge;
  huge.VpnAndId = std::string(20000, '\xc0');
  south.store->FileSnapshot(FormatSettings(huge), "read", site.id, "2026-11-03T11:00:00.000Z");
  south.store->FileSnapshot(RealPanelFile("740002"), "read", site.id, "2026-11-03T11:05:00.000Z");
  // A site of the other branch, handed over by file to this laptop.
  const sites::TSite theirs = north.store->CreateSite({0, "", "Банк «Север»"});
  north.Sync();
  sites::TSite copy = theirs;
  copy.id = 0;
  south.store->AddSiteRow(copy);

  for (int round = 0; round < 2; ++round) {
    south.Sync();
    const TSyncStatus status = SyncStatus(*south.store);
    EXPECT_EQ(status.snapshotsWaiting, 1) << round;
    ASSERT_EQ(status.refused.size(), 2u) << round;
    bool toldSize = false, toldBranch = false;
    for (const auto& [item, reason] : status.refused) {
      toldSize |= reason.find("больше, чем бывает файл настроек") != std::string::npos &&
                  reason.find("байт") != std::string::npos;
      toldBranch |= item == theirs.uid && reason.find("другого филиала") != std::string::npos;
    }
    EXPECT_TRUE(toldSize) << round;
    EXPECT_TRUE(toldBranch) << round;
  }
  // The good snapshot went, and a senior of the branch has it.
  TLaptop senior("refuse-z", "anna");
  senior.Sync();
  EXPECT_EQ(senior.store->Snapshots(senior.store->SiteByUid(site.uid)->id).size(), 1u);
}

// Every code a technician could guess, from the factory values, against
// everything his laptop holds of a masked snapshot.
TEST(TeamCodesTest, AMaskedSnapshotLeavesNothingToGuessTheCodesFrom) {
  TLaptop north("guess-n", "ivan"), colleague("guess-c", "olga");
  const sites::TSite site = north.store->CreateSite({0, "", "Ювелирный"});
  const std::string file = RealPanelFile("740003", "7319");
  north.store->FileSnapshot(file, "read", site.id, "2026-11-03T12:00:00.000Z");
  north.Sync();
  colleague.Sync();
  const auto held = colleague.store->Snapshots(colleague.store->SiteByUid(site.uid)->id);
  ASSERT_EQ(held.size(), 1u);

  std::ifstream db(colleague.path, std::ios::binary);
  const std::string onDisk((std::istreambuf_iterator<char>(db)), std::istreambuf_iterator<char>());
  std::ifstream wal(colleague.path + "-wal", std::ios::binary);
  const std::string inWal((std::istreambuf_iterator<char>(wal)), std::istreambuf_iterator<char>());
  EXPECT_EQ(onDisk.find(sites::Sha256Hex(file)), std::string::npos);
  EXPECT_EQ(inWal.find(sites::Sha256Hex(file)), std::string::npos);

  int found = 0, wouldHaveFound = 0;
  for (int guess = 0; guess < 10000; ++guess) {
    char code[5];
    std::snprintf(code, sizeof code, "%04d", guess);
    const std::string candidate = sites::Sha256Hex(RealPanelFile("740003", code));
    wouldHaveFound += candidate == sites::Sha256Hex(file);  // the attack works on a leaked hash
    for (const auto& s : held) found += s.hash.find(candidate) != std::string::npos;
  }
  EXPECT_EQ(wouldHaveFound, 1);
  EXPECT_EQ(found, 0);
}

TEST(TeamCodesTest, EveryLineEndingTheImporterTakesIsMaskedAsTheSettingsFormatReadsIt) {
  const std::string crlf = RealPanelFile("740004", "2468");
  std::string lf, mixed, strayCr;
  for (size_t i = 0, line = 0; i < crlf.size(); ++i) {
    if (crlf[i] == '\r') {
      if (line++ % 2 == 0) mixed += '\r';
      continue;
    }
    lf += crlf[i];
    mixed += crlf[i];
  }
  strayCr = crlf;
  const size_t codesAt = strayCr.find("2468");
  strayCr.insert(codesAt + 2, "\r");  // a CR inside the line, which the format drops
  const std::string noFinalEnd = lf.substr(0, lf.size() - 1);
  for (const std::string& file_ : {crlf, lf, mixed, strayCr, noFinalEnd}) {
    const std::string* file = &file_;
    std::string codes;
    const std::string masked = WithoutCodes(*file, &codes);
    EXPECT_EQ(masked.find("24"), std::string::npos);
    EXPECT_EQ(masked.find("68"), std::string::npos);
    EXPECT_EQ(WithCodes(masked, codes), *file);
    TCFG original, shown;
    ParseSettings(*file, original);
    ParseSettings(masked, shown);
    EXPECT_EQ(original.KeypadCode0, "2468");
    EXPECT_TRUE(shown.KeypadCode0.empty());
    original.KeypadCode0.clear();
    EXPECT_EQ(FormatSettings(shown), FormatSettings(original));
  }
  // Through the server too: a file with LF line ends reaches a colleague masked.
  TLaptop north("endings-n", "ivan"), colleague("endings-c", "olga");
  const sites::TSite site = north.store->CreateSite({0, "", "Гараж"});
  north.store->FileSnapshot(lf, "read", site.id, "2026-11-03T13:00:00.000Z");
  north.Sync();
  colleague.Sync();
  const auto held = colleague.store->Snapshots(colleague.store->SiteByUid(site.uid)->id);
  ASSERT_EQ(held.size(), 1u);
  EXPECT_EQ(held[0].content.find("2468"), std::string::npos);
  EXPECT_EQ(held[0].content, WithoutCodes(lf));
}

// What a laptop would send for a change, its id made as the laptop makes it.
sites::TFieldChange Change(const std::string& siteUid, const std::string& value, const std::string& made,
                           const std::string& technician = "petr", const std::string& laptop = "PETR-PC") {
  sites::TFieldChange c;
  c.siteUid = siteUid;
  c.field = "notes";
  c.value = value;
  c.made = made;
  c.technician = technician;
  c.laptop = laptop;
  c.changeId = sites::ChangeIdOf(c);
  return c;
}

std::string Hex(const std::string& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const unsigned char b : bytes) {
    hex += kHex[b >> 4];
    hex += kHex[b & 15];
  }
  return hex;
}

std::vector<TRow> PushChange(TPgConnection& as, const sites::TFieldChange& c) {
  return as.Query(
      "SELECT item, refusal FROM zarvex.push_changes(ARRAY[$1], ARRAY[$2], ARRAY[$3], ARRAY[decode($4, 'hex')], "
      "ARRAY[''], ARRAY[$5], ARRAY[$6], ARRAY[$7]) WHERE item IS NOT NULL",
      {c.changeId, c.siteUid, c.field, Hex(c.value), c.made, c.technician, c.laptop});
}

std::string Refusal(const std::vector<TRow>& rows) { return rows.empty() ? "" : rows[0][1].value_or(""); }

// The server's limits set lower for one test, and put back after it.
struct TLimitValues {
  int changesPerHour = 50000, pushSeconds = 25;
};
class TLimits {
 public:
  TLimits(TPgConnection& root, const TLimitValues& v)
      : root_(root), saved_(*root.Query("SELECT pg_get_functiondef('zarvex.limits()'::regprocedure)")[0][0]) {
    root_.Exec("CREATE OR REPLACE FUNCTION zarvex.limits(OUT rows_per_call integer, OUT bytes_per_call bigint, "
               "OUT snapshot_bytes integer, OUT codes_bytes integer, OUT value_bytes integer, OUT text_bytes integer, "
               "OUT changes_per_hour integer, OUT push_seconds integer) LANGUAGE sql IMMUTABLE AS $$ SELECT 10000, "
               "33554432::bigint, 16384, 256, 8192, 256, " + std::to_string(v.changesPerHour) + ", " +
               std::to_string(v.pushSeconds) + " $$");
  }
  ~TLimits() { root_.Exec(saved_); }

 private:
  TPgConnection& root_;
  const std::string saved_;
};

TEST(TeamTrustTest, AHostileTechniciansOwnCallsAreCheckedRowByRowAndSignedWithHisLogin) {
  TLaptop south("hostile-s", "petr");
  const sites::TSite site = south.store->CreateSite({0, "", "Магазин «Юг»"});
  south.Sync();
  auto petr = server->Connect("petr");

  // An id that is not what its content hashes to.
  sites::TFieldChange forged = Change(site.uid, "чужое", "2026-11-03T14:00:00.000Z");
  forged.changeId = std::string(64, 'a');
  EXPECT_NE(Refusal(PushChange(*petr, forged)).find("номер изменения"), std::string::npos);
  // A time in 2099, id and all made right.
  EXPECT_NE(Refusal(PushChange(*petr, Change(site.uid, "навсегда", "2099-01-01T00:00:00.000Z"))).find("позже"),
            std::string::npos);
  // A value longer than a field may be.
  EXPECT_NE(Refusal(PushChange(*petr, Change(site.uid, std::string(9000, 'x'), "2026-11-03T14:00:00.000Z")))
                .find("длиннее"),
            std::string::npos);
  // Another technician's name and laptop: taken, but signed with his own login.
  const sites::TFieldChange claimed = Change(site.uid, "от Ольги", "2026-11-03T14:01:00.000Z", "olga", "OLGA-PC");
  EXPECT_TRUE(PushChange(*petr, claimed).empty());
  const auto record = petr->Query("SELECT pushed_by, technician, laptop FROM zarvex.site_record($1) WHERE "
                                  "value = convert_to('от Ольги', 'UTF8')",
                                  {site.uid});
  ASSERT_EQ(record.size(), 1u);
  EXPECT_EQ(record[0][0], std::string("petr"));
  EXPECT_EQ(record[0][1], std::string("olga"));  // kept, as the laptop's claim

  // A snapshot whose hash names another file, and one larger than a settings file.
  const std::string file = RealPanelFile("740005");
  std::string codes;
  const std::string masked = WithoutCodes(file, &codes);
  const auto wrongHash = petr->Query(
      "SELECT refusal FROM zarvex.push_snapshot_files(ARRAY[$1], ARRAY['2026-11-03T14:02:00.000Z'], ARRAY['read'], "
      "ARRAY[$2], ARRAY[$3::bytea], ARRAY[$4::bytea], ARRAY[''], ARRAY[''], ARRAY[''], ARRAY[0]) WHERE item IS NOT NULL",
      {sites::Sha256Hex("something else"), site.uid, "\\x" + Hex(masked), "\\x" + Hex(codes)});
  ASSERT_EQ(wrongHash.size(), 1u);
  EXPECT_NE(wrongHash[0][0]->find("хеш снимка"), std::string::npos);
  const std::string big(20000, 'z');
  const auto tooBig = petr->Query(
      "SELECT refusal FROM zarvex.push_snapshot_files(ARRAY[$1], ARRAY['2026-11-03T14:02:00.000Z'], ARRAY['read'], "
      "ARRAY[$2], ARRAY[$3::bytea], ARRAY[''::bytea], ARRAY[''], ARRAY[''], ARRAY[''], ARRAY[0]) WHERE item IS NOT NULL",
      {sites::Sha256Hex(big), site.uid, "\\x" + Hex(big)});
  ASSERT_EQ(tooBig.size(), 1u);
  EXPECT_NE(tooBig[0][0]->find("20000 байт"), std::string::npos);
  // More rows in one call than the server takes: the call is refused whole.
  EXPECT_THROW(petr->Query("SELECT * FROM zarvex.push_sites(array_fill('x'::text, ARRAY[10001]), "
                           "array_fill(''::text, ARRAY[10001]), array_fill(''::text, ARRAY[10001]))"),
               TeamError);
  // The functions of older programs only tell them to update.
  EXPECT_THROW(petr->Query("SELECT zarvex.push('[]', '[]', '[]')"), TeamError);

  // A share an hour per technician: with room for one more, the second new change waits.
  auto root = server->Connect("company_root");
  const int used = std::stoi(*root->Query("SELECT count(*) FROM zarvex.changes WHERE pushed_by = 'petr'")[0][0]);
  const TLimits limits(*root, {.changesPerHour = used + 1});
  EXPECT_TRUE(PushChange(*petr, Change(site.uid, "ещё одно", "2026-11-03T14:03:00.000Z")).empty());
  EXPECT_NE(Refusal(PushChange(*petr, Change(site.uid, "и ещё", "2026-11-03T14:04:00.000Z"))).find("за час"),
            std::string::npos);
}

// A technician's session that holds a transaction open, however he set
// his own timeouts: one that never pushed is passed over at once, one that
// pushed and hangs is ended by the next pull past the push's time.
TEST(TeamSyncTest, NoTechniciansOpenTransactionHoldsAnotherLaptopsPull) {
  auto root = server->Connect("company_root");
  const TLimits limits(*root, {.pushSeconds = 2});
  TLaptop north("horizon-n", "ivan"), colleague("horizon-c", "olga");
  auto hostile = server->Connect("petr");
  hostile->Exec("SET idle_in_transaction_session_timeout = 0; SET statement_timeout = 0; BEGIN");
  hostile->Query("SELECT pg_current_xact_id()");
  const sites::TSite first = north.store->CreateSite({0, "", "Первый"});
  north.Sync();
  colleague.Sync();
  EXPECT_TRUE(colleague.store->SiteByUid(first.uid));
  // Having its id, the transaction can no longer push.
  EXPECT_THROW(hostile->Query("SELECT * FROM zarvex.push_sites(ARRAY['late'], ARRAY[''], ARRAY[''])"), TeamError);
  hostile->Exec("ROLLBACK");

  // A push left open: laptops wait for it only as long as a push may run.
  hostile->Exec("BEGIN");
  hostile->Query("SELECT * FROM zarvex.push_sites(ARRAY['hung-site'], ARRAY[''], ARRAY[''])");
  const sites::TSite second = north.store->CreateSite({0, "", "Второй"});
  north.Sync();
  colleague.Sync();
  EXPECT_FALSE(colleague.store->SiteByUid(second.uid));
  std::this_thread::sleep_for(std::chrono::seconds(3));
  colleague.Sync();
  EXPECT_TRUE(colleague.store->SiteByUid(second.uid));
  EXPECT_THROW(hostile->Exec("COMMIT"), TeamError);  // ended, and nothing of it committed
  EXPECT_TRUE(root->Query("SELECT 1 FROM zarvex.sites WHERE uid = 'hung-site'").empty());
}

#ifdef ZARVEX_TEAM_CLI_TESTS  // zarvex-cli is built with the window's layers
TEST(TeamTrustTest, TheLogPrintsEachValueOnItsOwnLineAndTheSameRowsAsJson) {
  TLaptop south("log-s", "petr");
  const sites::TSite site = south.store->CreateSite({0, "", "Кафе"});
  south.Sync();
  auto petr = server->Connect("petr");
  // A value that would print a whole fake line naming someone else.
  const std::string fake = "ок\n2099-01-01T00:00:00Z\tolga\t(ноутбук: olga@OLGA-PC)\tname\tвзлом";
  ASSERT_TRUE(PushChange(*petr, Change(site.uid, fake, "2026-11-03T15:00:00.000Z")).empty());
  SaveServerAddress(*south.store, server->As("petr"));
  south.store.reset();

  const auto run = [&](bool json) {
    std::ostringstream out, err;
    std::istringstream in;
    cli::CliEnvironment env{.out = out, .err = err};
    env.sitesDatabase = south.path;
    EXPECT_EQ(cli::RunTeamCommand({"log", "Кафе"}, json, env, in), 0) << err.str();
    return out.str();
  };
  const std::string text = run(false);
  EXPECT_EQ(text.find("\n2099"), std::string::npos) << text;
  EXPECT_NE(text.find("ок\\n2099-01-01T00:00:00Z\\tolga"), std::string::npos) << text;
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  const std::string json = run(true);
  EXPECT_EQ(json.front(), '[');
  EXPECT_NE(json.find("\"pushed_by\": \"petr\""), std::string::npos) << json;
  EXPECT_NE(json.find("ок\\n2099"), std::string::npos) << json;
  size_t rows = 0;
  for (size_t at = 0; (at = json.find("\"received\"", at)) != std::string::npos; ++at) ++rows;
  EXPECT_EQ(rows, lines);
}
// Who has not synced: each laptop's last sync as the server saw it, to an
// administrator alone.
TEST(TeamAdminTest, TheAdministratorSeesEachLaptopsLastSyncAndWhoHasNotSyncedForDays) {
  TLaptop north("laptops-n", "ivan"), south("laptops-s", "petr");
  const sites::TSite site = north.store->CreateSite({0, "", "Гостиница"});
  north.Sync();
  south.Sync();
  EXPECT_THROW(Laptops(*server->Connect("ivan")), TeamForbidden);
  auto root = server->Connect("company_root");
  root->Exec("UPDATE zarvex.laptop_syncs SET synced = now() - interval '10 days' WHERE login = 'petr'");

  const std::string db = (server->dir.parent_path() / "laptops-admin.db").string();
  const auto run = [&](std::vector<std::string> words, bool json) {
    std::ostringstream out, err;
    std::istringstream in;
    cli::CliEnvironment env{.out = out, .err = err};
    env.sitesDatabase = db;
    words.push_back("--admin");
    words.push_back("postgresql://company_root@127.0.0.1:" + server->port + "/postgres?sslrootcert=" +
                    (server->dir / "ca.crt").string());
    EXPECT_EQ(cli::RunTeamCommand(words, json, env, in), 0) << err.str();
    return out.str();
  };
  const std::string all = run({"laptops"}, false);
  EXPECT_NE(all.find("ivan\tСевер\t" + sites::LaptopName()), std::string::npos) << all;
  EXPECT_NE(all.find("petr\tЮг"), std::string::npos) << all;
  const std::string late = run({"laptops", "--days", "7"}, true);
  EXPECT_EQ(late.find("\"login\": \"ivan\""), std::string::npos) << late;
  EXPECT_NE(late.find("\"login\": \"petr\""), std::string::npos) << late;
  EXPECT_NE(late.find("\"days_since\": 10"), std::string::npos) << late;
}
#endif

TEST(TeamAdminTest, OnlyTheProgramsOwnTechniciansCanBeMadeOrChanged) {
  auto root = server->Connect("company_root");
  root->Exec("CREATE ROLE outsider NOLOGIN");
  for (const char* role : {"zarvex_owner", "zarvex_senior", "company_root", "outsider", "ivan"}) {
    EXPECT_THROW(AddTechnician(*root, role, "Север", TRole::Admin, "attacker-password", true), TeamError) << role;
  }
  for (const char* role : {"zarvex_owner", "outsider"}) {
    EXPECT_THROW(UpdateTechnician(*root, role, {.role = TRole::Admin}), TeamError) << role;
    EXPECT_EQ(root->Query("SELECT rolcanlogin FROM pg_roles WHERE rolname = $1", {role})[0][0], std::string("f"));
  }
  // Two long Cyrillic names that PostgreSQL would cut to one.
  const std::string longName = "техник_северного_филиала_номер_";
  EXPECT_THROW(AddTechnician(*root, longName + "один", "Север", TRole::Technician, "long-password", false), TeamError);
  EXPECT_TRUE(root->Query("SELECT 1 FROM pg_roles WHERE rolname LIKE 'техник%'").empty());
}

TEST(TeamAdminTest, AnUpdatedTechnicianWorksInHisNewBranchAndARemovedOnesSessionsEnd) {
  auto root = server->Connect("company_root");
  AddTechnician(*root, "zoya", "Север", TRole::Technician, "zoya-password", false);
  const std::string pgpass = getenv("PGPASSFILE");
  std::ofstream(pgpass, std::ios::app) << "127.0.0.1:*:*:zoya:zoya-password\n";
  UpdateTechnician(*root, "zoya", {.branch = std::string("Юг")});
  EXPECT_EQ(*server->Connect("zoya")->Query("SELECT branch FROM zarvex.whoami()")[0][0], "Юг");

  // Her open transaction is ended with her.
  auto open = server->Connect("zoya");
  open->Exec("BEGIN");
  open->Query("SELECT pg_current_xact_id()");
  RemoveTechnician(*root, "zoya");
  EXPECT_THROW(open->Query("SELECT 1"), TeamError);
  EXPECT_THROW(server->Connect("zoya"), TeamForbidden);
}

TEST(TeamSyncTest, AServerThatFallsSilentWithTheConnectionUpIsToldWithinTheDeadline) {
  TCutProxy proxy(std::stoi(server->port), 1L << 40);
  TServerAddress through = server->As("ivan");
  through.port = proxy.Port();
  TPgConnection link(ConnInfo(through, std::chrono::seconds(2)));
  link.Query("SELECT 1");
  proxy.Freeze();
  const auto started = std::chrono::steady_clock::now();
  EXPECT_THROW(link.Query("SELECT 1"), TeamUnreachable);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

// A site handed over by file from Юг to a technician of Север, who syncs
// first: the server puts it in Север, the Юг laptop is told its rows were
// refused and keeps them, and a senior moves it to Юг, where it arrives whole.
TEST(TeamRightsTest, ASiteOfTheWrongBranchWaitsWithItsReasonUntilASeniorMovesIt) {
  TLaptop south("move-s", "petr"), north("move-n", "ivan"), southColleague("move-c", "anna");
  const sites::TSite site = south.store->CreateSite({0, "", "Кафе «Юг»"});
  south.store->FileSnapshot(RealPanelFile("740006"), "read", site.id, "2026-11-04T10:00:00.000Z");
  // The hand-over: the same site, its history and snapshot, on a Север laptop.
  sites::TSite copy = *south.store->Site(site.id);
  copy.id = 0;
  const int64_t there = north.store->AddSiteRow(copy);
  std::vector<sites::TFieldChange> history = south.store->Changes(site.id);
  north.store->MergeChanges(there, history);
  north.store->FileSnapshot(RealPanelFile("740006"), "read", there, "2026-11-04T10:00:00.000Z");
  north.Sync();

  south.Sync();
  const TSyncStatus waiting = SyncStatus(*south.store);
  EXPECT_GT(waiting.changesWaiting, 0);
  EXPECT_EQ(waiting.snapshotsWaiting, 1);
  ASSERT_FALSE(waiting.refused.empty());
  EXPECT_NE(waiting.refused[0].second.find("другого филиала"), std::string::npos);

  // Only a senior or an administrator may move it.
  EXPECT_THROW(MoveSite(*server->Connect("petr"), site.uid, "Юг"), TeamForbidden);
  EXPECT_EQ(MoveSite(*server->Connect("anna"), site.uid, "Юг"), "Север");
  south.Sync();
  EXPECT_EQ(SyncStatus(*south.store).changesWaiting, 0);
  EXPECT_EQ(SyncStatus(*south.store).snapshotsWaiting, 0);
  EXPECT_TRUE(SyncStatus(*south.store).refused.empty());
  // A laptop of Юг that synced before the move gets it whole now.
  TLaptop other("move-o", "petr");
  other.Sync();
  const auto arrived = other.store->SiteByUid(site.uid);
  ASSERT_TRUE(arrived);
  EXPECT_EQ(arrived->name, "Кафе «Юг»");
  EXPECT_EQ(other.store->Snapshots(arrived->id).size(), 1u);
  // And the move is in the site's record.
  bool logged = false;
  for (const TSiteLogEntry& e : SiteLog(*server->Connect("petr"), site.uid)) {
    logged |= e.field == "branch" && e.value == "Север → Юг" && e.pushedBy == "anna";
  }
  EXPECT_TRUE(logged);
}

// Promoted, moved or given the codes, a technician's laptop takes what it
// may now see at its next sync, and the codes of what it holds masked.
TEST(TeamRightsTest, ATechnicianGivenNewRightsReceivesWhatHeMayNowSeeOnce) {
  auto root = server->Connect("company_root");
  AddTechnician(*root, "yana", "Север", TRole::Technician, "yana-password", false);
  std::ofstream(getenv("PGPASSFILE"), std::ios::app) << "127.0.0.1:*:*:yana:yana-password\n";
  TLaptop north("rights-n", "ivan"), south("rights-s", "petr"), yana("rights-y", "yana");
  const sites::TSite mine = north.store->CreateSite({0, "", "Почта"});
  const std::string file = RealPanelFile("740007", "8642");
  north.store->FileSnapshot(file, "read", mine.id, "2026-11-04T11:00:00.000Z");
  north.Sync();
  const sites::TSite theirs = south.store->CreateSite({0, "", "Вокзал"});
  south.Sync();
  yana.Sync();
  const auto held = yana.store->Snapshots(yana.store->SiteByUid(mine.uid)->id);
  ASSERT_EQ(held.size(), 1u);
  EXPECT_TRUE(LacksCodes(held[0]));
  EXPECT_FALSE(yana.store->SiteByUid(theirs.uid));

  UpdateTechnician(*root, "yana", {.seesCodes = true});
  yana.Sync();
  const auto whole = yana.store->Snapshots(yana.store->SiteByUid(mine.uid)->id);
  ASSERT_EQ(whole.size(), 1u);
  EXPECT_EQ(whole[0].content, file);
  EXPECT_FALSE(LacksCodes(whole[0]));

  UpdateTechnician(*root, "yana", {.role = TRole::Senior});
  const TSyncReport promoted = yana.Sync();
  EXPECT_TRUE(yana.store->SiteByUid(theirs.uid));
  EXPECT_GE(promoted.sitesTaken, 1);
  // Once: the sync after takes nothing.
  const TSyncReport after = yana.Sync();
  EXPECT_EQ(after.sitesTaken + after.changesTaken + after.snapshotsTaken, 0);
}

TEST(TeamCliTest, AMistypedPasswordReplacesNothingAndTheKeptOneIsTheOneLibpqUses) {
  const fs::path home = server->dir.parent_path() / "pgpass-home";
  fs::create_directories(home);
  const std::string ownPgpass = (home / "pgpass").string();
  const std::string before = std::getenv("PGPASSFILE");
  setenv("PGPASSFILE", ownPgpass.c_str(), 1);
  // A line of his own that libpq would take first: the wrong password for any server.
  WritePrivateFile(ownPgpass, "*:*:*:olga:stale-password\n");
  TLaptop laptop("pgpass-l", "olga");
  const TServerAddress a = server->As("olga");
  const std::string wrong = "mistyped";
  EXPECT_THROW(JoinServer(*laptop.store, a, &wrong), TeamForbidden);
  EXPECT_EQ(ReadWholeFile(ownPgpass), "*:*:*:olga:stale-password\n");
  EXPECT_TRUE(ServerAddress(*laptop.store).host.empty());

  const std::string right = "olga-password";
  EXPECT_EQ(JoinServer(*laptop.store, a, &right).login, "olga");
  EXPECT_NO_THROW(laptop.Sync());  // through the kept password alone
  EXPECT_THROW(JoinServer(*laptop.store, a, &wrong), TeamForbidden);
  EXPECT_NO_THROW(laptop.Sync());
  setenv("PGPASSFILE", before.c_str(), 1);
}

}  // namespace
}  // namespace zarvex::team::test
