// What a site database must survive: a hand-over file made to harm it,
// times from other zones and clocks, a damaged file and its recovery, a
// database to read only, two sites of one name, and search and order as a
// Russian-speaking installer types and reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "sites/rolling_backups.h"
#include "sites/search_text.h"
#include "sites/site_handover.h"
#include "sites/site_schema.h"
#include "sites/utc_time.h"
#include "sites_test_support.h"
#include "time_zone.h"

namespace zarvex::sites::test {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(fs::path(std::u8string(path.begin(), path.end())), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class HostileFileTest : public SitesTest {
 protected:
  // A genuine export, then altered with SQLite as a stranger would.
  std::string Export(const char8_t* name) {
    TSiteStore mine(Path(name) + ".db");  // one each: a snapshot is filed once
    const TSite site = mine.CreateSite({0, "", "Склад", "ИП", "Промзона"});
    mine.FileSnapshot(PanelFile("100200"), "read", site.id, "2026-12-01T09:00:00.000Z");
    const std::string file = Path(name);
    ExportSite(mine, site.id, file);
    return file;
  }
  void Alter(const std::string& file, const std::string& sql) {
    TDatabase db(file, TDatabase::Mode::OpenExisting);
    db.Exec(sql);
    db.Exec("PRAGMA journal_mode = DELETE");
  }
  // Refused within a second, in a sentence that names `words`, with the
  // user's database byte for byte as it was.
  void ExpectRefused(const std::string& file, const std::string& words) {
    const std::string mine = Path(u8"их.db") + std::to_string(++refusals_);
    TSiteStore store(mine);
    store.CreateSite({0, "", "Свой объект"});
    const std::string before = Slurp(mine);
    const auto start = std::chrono::steady_clock::now();
    try {
      ImportSites(store, file);
      ADD_FAILURE() << "taken in: " << words;
    } catch (const SitesError& e) {
      const std::string text = e.what();
      EXPECT_NE(text.find(words), std::string::npos) << text;
      // The installer's file, as given, in Russian: never the private copy
      // or the database library's English.
      EXPECT_EQ(text.rfind("Файл " + file + " ", 0), 0u) << text;
      std::string rest = text.substr(std::min(text.size(), std::string("Файл ").size() + file.size()));
      for (size_t at; (at = rest.find("Zarvex")) != std::string::npos;) rest.erase(at, 6);
      int latin = 0, longest = 0;
      for (const char c : rest) longest = std::max(longest, latin = std::isalpha(static_cast<unsigned char>(c)) ? latin + 1 : 0);
      EXPECT_LT(longest, 3) << text;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(store.Sites().size(), 1u);
    EXPECT_EQ(Slurp(mine), before);
  }
  int refusals_ = 0;
};

TEST_F(HostileFileTest, ViewsTriggersVirtualTablesAndExtraTablesAreRefusedAtOnceAndNothingIsTouched) {
  const std::string endless = Export(u8"бесконечный.zxsite");
  Alter(endless,
        "ALTER TABLE snapshots RENAME TO real_snapshots; CREATE VIEW snapshots AS WITH RECURSIVE n(i) AS "
        "(SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT i AS id, 1 AS site_id, 'h' AS hash, "
        "zeroblob(100000000) AS content, 'read' AS kind, 't' AS taken, '' AS program_version, '' AS technician, "
        "'' AS model, 0 AS firmware FROM n");
  ExpectRefused(endless, "представления");

  const std::string triggered = Export(u8"триггер.zxsite");
  Alter(triggered, "CREATE TRIGGER t AFTER INSERT ON sites BEGIN DELETE FROM snapshots; END");
  ExpectRefused(triggered, "триггеры");

  const std::string virtualTable = Export(u8"fts.zxsite");
  // Written into the schema as it stands, so it needs no FTS4 in this SQLite.
  Alter(virtualTable,
        "DROP TABLE snapshots; PRAGMA writable_schema = ON; INSERT INTO sqlite_schema(type, name, tbl_name, "
        "rootpage, sql) VALUES('table', 'snapshots', 'snapshots', 0, "
        "'CREATE VIRTUAL TABLE snapshots USING fts4(content)'); PRAGMA writable_schema = OFF");
  ExpectRefused(virtualTable, "не принят");

  const std::string extra = Export(u8"лишнее.zxsite");
  Alter(extra, "CREATE TABLE payload(x)");
  ExpectRefused(extra, "посторонние таблицы");
}

TEST_F(HostileFileTest, AFileTooLargeInAnyValueOrDamagedIsToldByItsOwnNameAndInRussian) {
  const std::string huge = Export(u8"большой.zxsite");
  Alter(huge, "UPDATE snapshots SET content = zeroblob(20000000)");
  ExpectRefused(huge, "снимок больше, чем бывает файл настроек (20000000 байт)");

  const std::string longName = Export(u8"длинное-имя.zxsite");
  Alter(longName, "UPDATE sites SET notes = hex(zeroblob(100000))");
  ExpectRefused(longName, "не принят");

  const std::string cut = Export(u8"обрезанный.zxsite");
  const std::string whole = Slurp(cut);
  std::ofstream(fs::path(std::u8string(cut.begin(), cut.end())), std::ios::binary | std::ios::trunc)
      << whole.substr(0, whole.size() * 2 / 3);
  ExpectRefused(cut, "повреждён");

  const std::string notOurs = Path(u8"письмо.txt");
  std::ofstream(fs::path(std::u8string(notOurs.begin(), notOurs.end()))) << "Здравствуйте!";
  ExpectRefused(notOurs, "не является файлом объектов");
}

TEST_F(HostileFileTest, ForgedChangesAreRefusedAndImplausibleRowsAreLeftOutAndTold) {
  const std::string forged = Export(u8"подделка.zxsite");
  Alter(forged, "UPDATE site_changes SET value = 'чужое' WHERE field = 'name'");
  ExpectRefused(forged, "подделанное изменение");

  const std::string odd = Export(u8"странный.zxsite");
  TCFG cfg;
  cfg.FirmwareVersion = 520;
  const std::string settings = FormatSettings(cfg);
  {
    TDatabase db(odd, TDatabase::Mode::OpenExisting);
    db.Exec("UPDATE panels SET last_read = '9999-12-31T00:00:00.000Z'");
    // The model the file claims is not taken: the content says 520.
    db.Prepare("INSERT INTO snapshots(site_id, hash, content, kind, taken, model, firmware) "
               "VALUES(1, 'x', ?1, 'read', '2026-12-02T10:00:00.000Z', 'Чужая модель', 1)")
        .Bind(1, settings).Run();
    db.Exec("INSERT INTO snapshots(site_id, hash, content, kind, taken) VALUES(1, 'y', 'не настройки', 'read', "
            "'2026-12-03T10:00:00.000Z')");
    db.Prepare("INSERT INTO snapshots(site_id, hash, content, kind, taken) VALUES(1, 'z', ?1, 'rm -rf', "
               "'2026-12-04T10:00:00.000Z')")
        .Bind(1, settings).Run();
    db.Prepare("INSERT INTO snapshots(site_id, hash, content, kind, taken) VALUES(1, 'w', ?1, 'read', "
               "'9999-12-31T00:00:00.000Z')")
        .Bind(1, settings + "\r\n").Run();
    db.Exec("PRAGMA journal_mode = DELETE");
  }
  TSiteStore store(Path(u8"их.db"));
  const TImportReport r = ImportSites(store, odd);
  EXPECT_EQ(r.snapshotsAdded, 2);
  EXPECT_EQ(r.snapshotsRefused, 3);
  EXPECT_EQ(r.panelsRefused, 1);
  const auto list = store.Snapshots(store.Sites()[0].id);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].model, "Zarvex GSM ZX-4110");
  EXPECT_EQ(list[0].firmware, 520);
  EXPECT_TRUE(store.Panels(store.Sites()[0].id).empty());
}

TEST_F(HostileFileTest, AFileInAFolderNobodyMayWriteIsReadWithNothingLeftBesideIt) {
  const std::string file = Export(u8"передача.zxsite");
  TSiteStore store(Path(u8"их.db"));
  EXPECT_EQ(ImportSites(store, file).sitesAdded, 1);
  for (const char* side : {"-wal", "-shm", "-journal"}) {
    EXPECT_FALSE(fs::exists(dir / (fs::path(u8"передача.zxsite").string() + side))) << side;
  }
}

TEST_F(HostileFileTest, AnImportStoppedByTheUserEndsAtOnceWithNothingHalfDone) {
  const std::string file = Export(u8"передача.zxsite");
  TSiteStore store(Path(u8"их.db"));
  std::atomic<bool> stop{true};
  TStopWhen when;
  when.flag = &stop;
  EXPECT_THROW(ImportSites(store, file, when), SitesInterrupted);
  EXPECT_TRUE(store.Sites().empty());
  stop = false;
  EXPECT_EQ(ImportSites(store, file, when).sitesAdded, 1);
}

TEST(UtcTimeTest, TimesRoundTripCompareAsTextAndAreToldInLocalTime) {
  EXPECT_EQ(UtcText(0), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(UtcText(1765276786766), "2025-12-09T10:39:46.766Z");
  EXPECT_EQ(UtcMillis("2025-12-09T10:39:46.766Z"), 1765276786766);
  EXPECT_EQ(UtcMillis("2024-02-29T23:59:59.999Z"), 1709251199999);
  EXPECT_FALSE(UtcMillis("2025-12-09 10:39:46"));
  EXPECT_FALSE(UtcMillis("rm -rf"));
  EXPECT_LT(UtcText(1000), UtcText(1001));
  const std::string now = NowUtc();
  EXPECT_TRUE(Plausible(now, now));
  EXPECT_FALSE(Plausible("9999-12-31T00:00:00.000Z", now));
  EXPECT_FALSE(Plausible("1999-12-31T23:59:59.999Z", now));
  // Seven hours east: the same instant, in that zone's wall time, to the second.
  SetTimeZone("XYZ-7");
  EXPECT_EQ(LocalText("2026-12-09T05:39:46.766Z"), "2026-12-09 12:39:46");
  EXPECT_EQ(UtcFromLocalText("2026-12-09 12:39:46.766"), "2026-12-09T05:39:46.766Z");
  EXPECT_EQ(UtcFromLocalText("2026-12-09 12:39:46"), "2026-12-09T05:39:46.000Z");
  SetTimeZone(nullptr);
}

TEST_F(SitesTest, AVersion2DatabaseMigratesItsTimesFromTheLaptopsZoneAndAnInterruptedMigrationKeepsIt) {
  SetTimeZone("XYZ-5");
  const std::string path = Path(u8"v2.db");
  {
    TDatabase db(path, TDatabase::Mode::OpenOrCreate);
    CreateVersion(db, 2);
    db.Exec("INSERT INTO sites(uid, name, address, created, changed, search) VALUES('0123456789abcdef', 'Банк', "
            "'Ленина 1', '2026-12-01 10:00:00.000', '2026-12-01 10:00:00.000', 'банк')");
    db.Exec("INSERT INTO snapshots(site_id, hash, content, kind, taken) VALUES(1, 'h', 'x', 'read', "
            "'2026-12-01 10:00:00.123')");
    db.Exec("INSERT INTO snapshots(site_id, hash, content, kind, taken) VALUES(1, 'h', 'x', 'read', "
            "'2026-12-01 09:00:00')");
    db.Exec("INSERT INTO site_conflicts(site_id, field, local, imported, found) VALUES(1, 'адрес', 'Ленина 1', "
            "'Ленина 1а', '2026-12-01 11:00:00')");
  }
  const std::string before = Slurp(path);
  TStoreOptions stopped;
  stopped.stop.deadline = std::chrono::steady_clock::now();  // already passed: the migration is cut
  EXPECT_THROW(TSiteStore(path, stopped), SitesError);
  {
    TDatabase db(path, TDatabase::Mode::ReadOnly);
    EXPECT_EQ(UserVersion(db), 2);  // rolled back whole
  }
  TSiteStore store(path);
  EXPECT_EQ(UserVersion(store.Database()), kSchemaVersion);
  const TSite bank = store.Sites().at(0);
  EXPECT_EQ(bank.created, "2026-12-01T05:00:00.000Z");
  const auto snapshots = store.Snapshots(bank.id);
  ASSERT_EQ(snapshots.size(), 2u);
  EXPECT_EQ(snapshots[0].taken, "2026-12-01T05:00:00.123Z");
  EXPECT_EQ(snapshots[1].taken, "2026-12-01T04:00:00.000Z");
  // The conflict an earlier import kept is still one, with both values.
  const auto conflicts = store.Conflicts(bank.id);
  ASSERT_EQ(conflicts.size(), 1u);
  EXPECT_EQ(conflicts[0].field, "адрес");
  SetTimeZone(nullptr);
  (void)before;
}

TEST_F(SitesTest, ADamagedDatabaseIsNeverWrittenAndItsNewestHealthyCopyCanBeRestored) {
  const std::string path = Path(u8"sites.db");
  {
    TSiteStore store(path);
    const TSite site = store.CreateSite({0, "", "Банк"});
    for (int i = 0; i < 400; ++i) store.FileSnapshot(PanelFile(std::to_string(100000 + i)), "read", site.id);
  }
  // The day's copy is taken before its first write; as if that was yesterday's.
  for (const std::string& old : Backups(path)) fs::remove(fs::path(std::u8string(old.begin(), old.end())));
  {
    TSiteStore store(path);
    store.FileSnapshot(PanelFile("200000"), "read", std::nullopt);
  }
  ASSERT_EQ(Backups(path).size(), 1u);
  {
    // A page in the middle overwritten, as a failing disk leaves it.
    std::fstream f(dir / fs::path(u8"sites.db"), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(4096 * 20);
    f << std::string(4096, '\x55');
  }
  const std::string damaged = Slurp(path);
  std::string backup;
  try {
    TSiteStore store(path);
    store.FileSnapshot(PanelFile("1"), "read", std::nullopt);
    ADD_FAILURE() << "wrote to a damaged database";
  } catch (const SitesDamaged& e) {
    EXPECT_NE(std::string(e.what()).find("повреждена"), std::string::npos) << e.what();
    backup = e.Backup();
  }
  EXPECT_EQ(Slurp(path), damaged);
  ASSERT_FALSE(backup.empty());
  const std::string kept = RestoreFromBackup(path, backup);
  EXPECT_EQ(Slurp(kept), damaged);  // kept, renamed
  TSiteStore restored(path);
  EXPECT_EQ(restored.Sites().at(0).name, "Банк");
}

TEST_F(SitesTest, TheDaysCopyWaitsForTheCallersTransactionAndOneThatCannotBeMadeCostsNoFiling) {
  const std::string path = Path(u8"sites.db");
  {
    TSiteStore store(path);
    TTransaction t(store.Database());  // a caller's own transaction around the day's first write
    store.CreateSite({0, "", "Банк"});
    t.Commit();
    EXPECT_TRUE(Backups(path).empty());
    store.CreateSite({0, "", "Склад"});  // the next write outside it makes the copy
    EXPECT_EQ(Backups(path).size(), 1u);
    EXPECT_TRUE(store.BackupProblem().empty());
  }
  // Where the copies go is taken by a file: the copy fails, the filing not.
  const std::string other = Path(u8"другая.db");
  std::ofstream(fs::path(std::u8string(other.begin(), other.end())) += ".backups") << "not a folder";
  TSiteStore store(other);
  store.CreateSite({0, "", "Аптека"});
  EXPECT_FALSE(store.BackupProblem().empty());
  EXPECT_EQ(store.Sites().size(), 1u);
}

TEST_F(SitesTest, AnotherProgramsDatabaseWithACrashLeftJournalIsToldAndNotCheckpointed) {
  const std::string path = Path(u8"чужая.db");
  {
    TDatabase writer(path, TDatabase::Mode::OpenOrCreate);
    writer.JournalMode("WAL");
    writer.Exec("PRAGMA wal_autocheckpoint = 0; CREATE TABLE t(x); INSERT INTO t VALUES(randomblob(20000))");
    // A crash: the files as they are now, before any checkpoint.
    fs::copy_file(dir / fs::path(u8"чужая.db"), dir / "crash.db");
    fs::copy_file(dir / fs::path(u8"чужая.db-wal"), dir / "crash.db-wal");
  }
  const std::string crashed = Utf8(dir / "crash.db");
  const auto size = fs::file_size(dir / "crash.db");
  EXPECT_THROW(TSiteStore{crashed}, SitesError);
  EXPECT_EQ(fs::file_size(dir / "crash.db"), size);
  EXPECT_TRUE(fs::exists(dir / "crash.db-wal"));
}

TEST_F(SitesTest, ADatabaseOpenedToReadListsAndShowsAndRefusesWritesAsSuch) {
  const std::string path = Path(u8"sites.db");
  TStoreOptions toRead;
  toRead.readOnly = true;
  EXPECT_THROW(TSiteStore(path, toRead), SitesError);  // none yet: none made
  EXPECT_FALSE(fs::exists(dir / "sites.db"));
  { TSiteStore(path).CreateSite({0, "", "Банк"}); }
  TSiteStore store(path, toRead);
  EXPECT_TRUE(store.ReadOnly());
  EXPECT_EQ(store.Find("банк").size(), 1u);
  EXPECT_THROW(store.CreateSite({0, "", "Ещё"}), SitesReadOnly);
  EXPECT_THROW(store.FileSnapshot(PanelFile("1"), "read", std::nullopt), SitesReadOnly);
}

// Statements stay compiled between calls; none may keep a read open, or
// the window would go on seeing an old state and hold the journal's copy
// into the file back for every other program.
TEST_F(SitesTest, ReadsLeaveNothingOpenSoAnotherProgramsWriteIsSeenAndItsJournalCanBeEmptied) {
  const std::string path = Path(u8"sites.db");
  TSiteStore window(path);
  const TSite bank = window.CreateSite({0, "", "Банк", "", "ул. Мира, 1"});
  window.FileSnapshot(PanelFile("77"), "read", bank.id, "2026-12-01T09:00:00.000Z");
  TSite edited = *window.Site(bank.id);
  edited.address = "ул. Мира, 2";
  window.UpdateSite(edited);
  ASSERT_TRUE(window.SiteByUid(bank.uid));
  EXPECT_FALSE(window.Changes(bank.id).empty());
  EXPECT_EQ(window.Panels(bank.id).size(), 1u);
  EXPECT_TRUE(window.Conflicts(bank.id).empty());
  window.Meta("team.cursor");

  TStoreOptions quick;
  quick.busyWait = std::chrono::milliseconds(100);
  TSiteStore other(path, quick);
  const TSite shop = other.CreateSite({0, "", "Склад"});
  TStatement checkpoint = other.Database().Prepare("PRAGMA wal_checkpoint(TRUNCATE)");
  ASSERT_TRUE(checkpoint.Step());
  EXPECT_EQ(checkpoint.Int(0), 0) << "a read of the window's is still open";
  EXPECT_TRUE(window.Site(shop.id));
  EXPECT_TRUE(window.SiteByUid(shop.uid));
}

TEST_F(SitesTest, TwentyProgramsOpeningANewDatabaseAtOnceAllSucceed) {
  const std::string path = Path(u8"новая.db");
  std::vector<std::thread> starts;
  std::atomic<int> failed{0};
  for (int i = 0; i < 20; ++i) {
    starts.emplace_back([&] {
      try {
        TSiteStore store(path);
        store.Sites();
      } catch (const std::exception&) {
        ++failed;
      }
    });
  }
  for (std::thread& t : starts) t.join();
  EXPECT_EQ(failed.load(), 0);
}

TEST_F(SitesTest, NamesAreFoldedTwoSitesOfOneNameAreRefusedWithTheirIdsAndAnImportTellsIt) {
  TSiteStore store(Path(u8"sites.db"));
  const TSite bank = store.CreateSite({0, "", "Банк", "Сбер", "Ленина 1"});
  EXPECT_EQ(store.SiteByName("БАНК")->id, bank.id);
  EXPECT_FALSE(store.SiteByName("Бан"));
  TSiteStore other(Path(u8"другая.db"));
  const TSite second = other.CreateSite({0, "", "банк", "ВТБ", "Мира 2"});
  ExportSite(other, second.id, Path(u8"банк.zxsite"));
  const TImportReport r = ImportSites(store, Path(u8"банк.zxsite"));
  ASSERT_EQ(r.sameNames.size(), 1u);
  try {
    store.SiteByName("Банк");
    ADD_FAILURE() << "an ambiguous name picked one";
  } catch (const SitesAmbiguous& e) {
    EXPECT_EQ(e.Candidates().size(), 2u);
    EXPECT_NE(std::string(e.what()).find("#" + bank.ShortId()), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("ВТБ"), std::string::npos) << e.what();
  }
  EXPECT_EQ(store.SiteByName("#" + second.ShortId())->uid, second.uid);
}

TEST_F(SitesTest, PhonesAreFoundHoweverTypedEachOnItsOwnAndNamesSortAsTheAlphabetGoes) {
  TSiteStore store(Path(u8"sites.db"));
  for (const char* name : {"Яблоко", "авто", "Ёлка", "Банк", "архив", "Склад", "Ель"}) {
    store.CreateSite({0, "", name});
  }
  std::string order;
  for (const TSite& s : store.Sites()) order += s.name + ",";
  EXPECT_EQ(order, "авто,архив,Банк,Ёлка,Ель,Склад,Яблоко,");

  const TSite shop = store.CreateSite({0, "", "Магазин", "", "", "79123456789, 8 (343) 379-00-11"});
  const auto found = [&](const std::string& text) { return store.Find(text).size(); };
  EXPECT_EQ(found("+7 (912) 345-67-89"), 1u);
  EXPECT_EQ(found("8 912 345"), 1u);
  EXPECT_EQ(found("912-345"), 1u);
  EXPECT_EQ(found("+7 343 379"), 1u);
  EXPECT_EQ(found("89 8343"), 0u);  // the end of one phone and the start of the next is no phone
  store.CreateSite({0, "", "Їжак"});
  EXPECT_EQ(found("їжак"), 1u);
  EXPECT_EQ(FoldForSearch("STRAßE"), "strasse");
  EXPECT_EQ(PhonesOf("+7 912 345-67-89 +7 343 379 00 11").size(), 2u);
  (void)shop;
}

}  // namespace
}  // namespace zarvex::sites::test
