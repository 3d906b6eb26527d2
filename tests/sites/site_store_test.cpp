// The site database: filing and matching, search, a damaged or foreign
// file, the migration from the first schema, the old history taken in once,
// the window and the CLI writing at once, and the online backup.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "report/config_history.h"
#include "sites/history_import.h"
#include "sites/sha256.h"
#include "sites/site_schema.h"
#include "sites_test_support.h"

namespace zarvex::sites::test {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(fs::path(std::u8string(path.begin(), path.end())), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Sha256Test, KnownDigests) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // 56 bytes: the length no longer fits the first block's tail.
  EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST_F(SitesTest, AReadIsFiledUnderItsSiteAndTheNextReadOfThatPanelIsMatchedByIdThenByPhones) {
  TSiteStore store(Path(u8"sites.db"));
  const TSite shop = store.CreateSite({0, "", "Магазин «Ромашка»", "ООО Ромашка", "ул. Ленина, 5", "+79001112233"});
  EXPECT_FALSE(shop.uid.empty());
  EXPECT_FALSE(shop.technician.empty());
  const TSnapshotRecord first = store.FileSnapshot(PanelFile("654321", "+79005550001", "+79005550002"), "read", shop.id);
  EXPECT_EQ(first.siteId, shop.id);
  EXPECT_EQ(first.model, "Zarvex GSM");
  ASSERT_EQ(store.Panels(shop.id).size(), 1u);
  EXPECT_EQ(store.Panels(shop.id)[0].identity.panelId, "654321");

  // Same ID, other phones: that site, and its panel brought up to date.
  auto match = store.Match(IdentityOf([] {
    TCFG cfg;
    ParseSettings(PanelFile("654321", "+70000000000", "+70000000001"), cfg);
    return cfg;
  }()));
  ASSERT_TRUE(match);
  EXPECT_EQ(match->id, shop.id);
  // No ID (the factory one), the same two phones: still that site.
  TPanelIdentity byPhones{"Zarvex GSM", 430, "", "+79005550001", "+79005550002"};
  ASSERT_TRUE(store.Match(byPhones));
  EXPECT_EQ(store.Match(byPhones)->id, shop.id);
  // One phone alike is not enough, and a factory panel matches nothing.
  byPhones.checkPhone = "+79009999999";
  EXPECT_FALSE(store.Match(byPhones));
  TCFG factory;
  ParseSettings(PanelFile("123456"), factory);
  const TPanelIdentity none = IdentityOf(factory);
  EXPECT_TRUE(none.panelId.empty());
  EXPECT_TRUE(none.serverPhone.empty());
  EXPECT_FALSE(store.Match(none));
  // A factory panel's read adds no panel that every factory panel would match.
  store.FileSnapshot(PanelFile("123456"), "read", shop.id);
  EXPECT_EQ(store.Panels(shop.id).size(), 1u);

  // A write is filed, but changes no panel; the same snapshot twice is one.
  const TSnapshotRecord written = store.FileSnapshot(PanelFile("654321", "+1", "+2"), "written", shop.id, "2026-12-09T10:00:00.000Z");
  store.FileSnapshot(PanelFile("654321", "+1", "+2"), "written", shop.id, "2026-12-09T10:00:00.000Z");
  EXPECT_EQ(store.Panels(shop.id)[0].identity.serverPhone, "+79005550001");
  const auto list = store.Snapshots(shop.id);
  EXPECT_EQ(list.size(), 3u);
  EXPECT_EQ(store.Snapshot(written.id)->content, PanelFile("654321", "+1", "+2"));  // byte for byte
}

TEST_F(SitesTest, SearchFindsByAnyFieldPanelIdAndPhoneDigitsWithoutRegardToCase) {
  TSiteStore store(Path(u8"sites.db"));
  const TSite garage = store.CreateSite({0, "", "Гараж Ёлкин", "Ёлкин П. С.", "СНТ Берёзка, 12", "+7 (900) 123-45-67"});
  const TSite house = store.CreateSite({0, "", "Дача", "Smith & Co", "Озёрная 3", ""});
  store.FileSnapshot(PanelFile("777001", "+79031234567", "+79037654321"), "read", house.id);
  auto names = [&](const std::string& text) {
    std::string out;
    for (const TSite& s : store.Find(text)) out += s.name + ";";
    return out;
  };
  EXPECT_EQ(names("гараж"), "Гараж Ёлкин;");
  EXPECT_EQ(names("ЕЛКИН"), "Гараж Ёлкин;");  // ё and е alike
  EXPECT_EQ(names("березка"), "Гараж Ёлкин;");
  EXPECT_EQ(names("9001234567"), "Гараж Ёлкин;");  // typed without the dashes
  EXPECT_EQ(names("SMITH"), "Дача;");
  EXPECT_EQ(names("777001"), "Дача;");
  EXPECT_EQ(names("7654321"), "Дача;");
  EXPECT_EQ(names(""), "Гараж Ёлкин;Дача;");
  EXPECT_EQ(names("нет такого"), "");
  EXPECT_EQ(store.SiteByName("дача")->id, house.id);
  TSite renamed = *store.Site(garage.id);
  renamed.name = "Гараж Петрова";
  store.UpdateSite(renamed);
  EXPECT_EQ(names("петров"), "Гараж Петрова;");
  EXPECT_THROW(store.CreateSite({0, "", ""}), SitesError);
}

// A file that is not ours, or is damaged, is told and never written to.
TEST_F(SitesTest, ADamagedForeignOrNewerFileIsToldAndLeftByteForByte) {
  const std::string damaged = Path(u8"damaged.db");
  {
    std::ofstream out(dir / fs::path(u8"damaged.db"), std::ios::binary);
    out << "SQLite format 3" << '\0' << std::string(200, '\x7f');
  }
  const std::string before = Slurp(damaged);
  try {
    TSiteStore store(damaged);
    ADD_FAILURE() << "a damaged file opened";
  } catch (const SitesError& e) {
    EXPECT_NE(std::string(e.what()).find("не изменён"), std::string::npos) << e.what();
  }
  EXPECT_EQ(Slurp(damaged), before);

  const std::string foreign = Path(u8"foreign.db");
  {
    TDatabase db(foreign, TDatabase::Mode::OpenOrCreate);
    db.Exec("CREATE TABLE accounts(x); INSERT INTO accounts VALUES(1)");
  }
  const std::string foreignBefore = Slurp(foreign);
  EXPECT_THROW(TSiteStore{foreign}, SitesError);
  EXPECT_EQ(Slurp(foreign), foreignBefore);

  const std::string newer = Path(u8"newer.db");
  {
    TSiteStore store(newer);
  }
  {
    TDatabase db(newer, TDatabase::Mode::OpenExisting);
    db.Exec("PRAGMA user_version = 99");
  }
  const std::string newerBefore = Slurp(newer);
  try {
    TSiteStore store(newer);
    ADD_FAILURE() << "a newer database opened";
  } catch (const SitesError& e) {
    EXPECT_NE(std::string(e.what()).find("более новой"), std::string::npos) << e.what();
  }
  EXPECT_EQ(Slurp(newer), newerBefore);
}

TEST_F(SitesTest, AFirstSchemaDatabaseIsMigratedWithEverythingKept) {
  const std::string path = Path(u8"v1.db");
  {
    TDatabase db(path, TDatabase::Mode::OpenOrCreate);
    CreateVersion(db, 1);
    db.Exec("INSERT INTO sites(uid, name, created, changed, search) VALUES('u1', 'Склад', '2025-01-01 00:00:00', "
            "'2025-01-01 00:00:00', 'склад')");
    db.Exec("INSERT INTO snapshots(site_id, hash, content, kind, taken) VALUES(1, 'h', 'x', 'read', '2025-01-01')");
  }
  TSiteStore store(path);
  TStatement version = store.Database().Prepare("PRAGMA user_version");
  ASSERT_TRUE(version.Step());
  EXPECT_EQ(version.Int(0), TSiteStore::kSchemaVersion);
  ASSERT_EQ(store.Sites().size(), 1u);
  EXPECT_EQ(store.Sites()[0].name, "Склад");
  EXPECT_EQ(store.Snapshots(store.Sites()[0].id).size(), 1u);
  EXPECT_TRUE(store.Conflicts(store.Sites()[0].id).empty());  // the table version 2 added
}

TEST_F(SitesTest, TheOldHistoryIsTakenInOnceUnfiledAndLeftInPlace) {
  const fs::path historyDir = dir / "history";
  fs::create_directories(historyDir);
  report::ConfigHistory history(Utf8(historyDir));
  TCFG cfg;
  cfg.FirmwareVersion = 520;
  history.Store(report::Snapshot::Kind::Read, cfg, 1765000000);
  history.Store(report::Snapshot::Kind::Write, cfg, 1765000100);
  history.Store(report::Snapshot::Kind::Reset, cfg, 1765000200);
  TSiteStore store(Path(u8"sites.db"));
  EXPECT_EQ(ImportHistoryOnce(store, history), 3);
  EXPECT_EQ(ImportHistoryOnce(store, history), 0);
  const auto unfiled = store.Unfiled();
  ASSERT_EQ(unfiled.size(), 3u);
  EXPECT_EQ(unfiled[0].kind, "reset");
  EXPECT_EQ(unfiled[0].model, "Zarvex GSM ZX-4110");
  EXPECT_EQ(unfiled[0].content, FormatSettings(cfg));
  EXPECT_EQ(history.List().size(), 3u);
  // Filed later under a site, a read brings its panel with it.
  const TSite site = store.CreateSite({0, "", "Склад"});
  store.Refile(unfiled[2].id, site.id);
  EXPECT_EQ(store.Snapshots(site.id).size(), 1u);
  EXPECT_EQ(store.Unfiled().size(), 2u);
}

// The window and zarvex-cli on one database: each waits for the other, and
// neither is ever told "database is locked".
TEST_F(SitesTest, TwoProgramsFilingAtOnceLoseNothingAndAreNeverToldTheDatabaseIsLocked) {
  const std::string path = Path(u8"sites.db");
  int64_t siteId;
  {
    TSiteStore store(path);
    siteId = store.CreateSite({0, "", "Общий объект"}).id;
  }
  auto file = [&](const std::string& who, std::string& failure) {
    try {
      TSiteStore store(path);
      for (int i = 0; i < 150; ++i) {
        store.FileSnapshot(PanelFile(who + std::to_string(i)), "read", siteId);
        if (i % 10 == 0) store.Find("объект");
      }
    } catch (const std::exception& e) {
      failure = e.what();
    }
  };
  std::string windowFailure, cliFailure;
  std::thread window(file, "1", std::ref(windowFailure));
  std::thread cli(file, "2", std::ref(cliFailure));
  window.join();
  cli.join();
  EXPECT_EQ(windowFailure, "");
  EXPECT_EQ(cliFailure, "");
  TSiteStore store(path);
  EXPECT_EQ(store.Snapshots(siteId, -1).size(), 300u);
  EXPECT_EQ(store.Panels(siteId).size(), 300u);
}

TEST_F(SitesTest, ABackupIsAWholeDatabaseTakenWhileInUse) {
  TSiteStore store(Path(u8"sites.db"));
  const TSite site = store.CreateSite({0, "", "Офис"});
  for (int i = 0; i < 20; ++i) store.FileSnapshot(PanelFile(std::to_string(500000 + i)), "read", site.id);
  const std::string copy = Path(u8"копия.db");
  store.Backup(copy);
  store.FileSnapshot(PanelFile("999999"), "read", site.id);  // after the copy
  TSiteStore restored(copy);
  ASSERT_EQ(restored.Sites().size(), 1u);
  EXPECT_EQ(restored.Snapshots(restored.Sites()[0].id, -1).size(), 20u);
}

}  // namespace
}  // namespace zarvex::sites::test
