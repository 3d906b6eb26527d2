// One site handed from one technician's database to another's: whole, never
// twice, conflicting edits told and both kept, and a file that is no site
// database refused without harm.
#include <gtest/gtest.h>

#include <fstream>

#include "sites/site_handover.h"
#include "sites_test_support.h"

namespace zarvex::sites::test {
namespace {

TEST_F(SitesTest, ASiteExportedAndImportedArrivesWholeAndASecondImportAddsNothing) {
  TSiteStore mine(Path(u8"мой.db"));
  const TSite shop = mine.CreateSite({0, "", "Склад №3", "ИП Сидоров", "Промзона", "+79001234567", "код 1234 у охраны"});
  mine.FileSnapshot(PanelFile("100200", "+79000000001", "+79000000002"), "read", shop.id, "2026-12-01 09:00:00");
  mine.FileSnapshot(PanelFile("100200", "+79000000001", "+79000000002", 430, "new.apn"), "written", shop.id,
                    "2026-12-01 09:05:00");
  mine.FileSnapshot(PanelFile("100200"), "verify", shop.id, "2026-12-01 09:06:00");
  mine.CreateSite({0, "", "Другой объект"});  // not handed over
  const std::string handed = Path(u8"склад №3.zxsite");
  ExportSite(mine, shop.id, handed);
  EXPECT_FALSE(fs::exists(dir / fs::path(u8"склад №3.zxsite-wal")));  // one file to hand over

  TSiteStore theirs(Path(u8"их.db"));
  const TImportReport first = ImportSites(theirs, handed);
  EXPECT_EQ(first.sitesAdded, 1);
  EXPECT_EQ(first.snapshotsAdded, 3);
  EXPECT_EQ(first.panelsAdded, 1);
  ASSERT_EQ(theirs.Sites().size(), 1u);
  const TSite arrived = theirs.Sites()[0];
  EXPECT_EQ(arrived.uid, shop.uid);
  EXPECT_EQ(arrived.notes, "код 1234 у охраны");
  const auto snapshots = theirs.Snapshots(arrived.id);
  ASSERT_EQ(snapshots.size(), 3u);
  EXPECT_EQ(snapshots[0].kind, "verify");
  EXPECT_EQ(snapshots[1].content, PanelFile("100200", "+79000000001", "+79000000002", 430, "new.apn"));
  EXPECT_EQ(snapshots[1].technician, mine.Snapshots(shop.id)[1].technician);  // who took it, kept
  EXPECT_TRUE(theirs.Match(theirs.Panels(arrived.id)[0].identity));

  const TImportReport again = ImportSites(theirs, handed);
  EXPECT_EQ(again.sitesAdded, 0);
  EXPECT_EQ(again.sitesMerged, 1);
  EXPECT_EQ(again.snapshotsAdded, 0);
  EXPECT_EQ(again.snapshotsAlreadyThere, 3);
  EXPECT_TRUE(again.conflicts.empty());
  EXPECT_EQ(theirs.Snapshots(arrived.id).size(), 3u);
}

TEST_F(SitesTest, FieldsEditedOnBothSidesAreToldAsConflictsAndBothKept) {
  TSiteStore mine(Path(u8"мой.db"));
  TSite site = mine.CreateSite({0, "", "Дача", "Петров", "Озёрная 3"});
  const std::string handed = Path(u8"дача.zxsite");
  ExportSite(mine, site.id, handed);
  TSiteStore theirs(Path(u8"их.db"));
  ImportSites(theirs, handed);

  site.address = "Озёрная 3, корп. 2";  // mine
  site.notes = "собака во дворе";
  mine.UpdateSite(site);
  mine.FileSnapshot(PanelFile("300400"), "read", site.id, "2026-12-02 12:00:00");
  TSite other = theirs.Sites()[0];
  other.address = "Озёрная улица, 3";  // theirs, differently
  theirs.UpdateSite(other);
  ExportSite(mine, site.id, handed);  // replaces the earlier file

  const TImportReport report = ImportSites(theirs, handed);
  EXPECT_EQ(report.snapshotsAdded, 1);
  ASSERT_EQ(report.conflicts.size(), 2u);
  EXPECT_EQ(report.conflicts[0].field, "адрес");
  EXPECT_EQ(report.conflicts[0].local, "Озёрная улица, 3");
  EXPECT_EQ(report.conflicts[0].imported, "Озёрная 3, корп. 2");
  EXPECT_EQ(report.conflicts[1].field, "заметки");
  EXPECT_EQ(theirs.Sites()[0].address, "Озёрная улица, 3");  // theirs stays
  EXPECT_EQ(theirs.Conflicts(other.id).size(), 2u);          // and mine is kept beside it
  EXPECT_TRUE(ImportSites(theirs, handed).conflicts.empty());  // told once
}

TEST_F(SitesTest, AFileThatIsNoSiteFileIsRefusedAndNothingIsImported) {
  TSiteStore theirs(Path(u8"их.db"));
  const std::string text = Path(u8"настройки.cfg");
  std::ofstream(dir / fs::path(u8"настройки.cfg"), std::ios::binary) << PanelFile("1");
  EXPECT_THROW(ImportSites(theirs, text), SitesError);
  EXPECT_THROW(ImportSites(theirs, Path(u8"нет.zxsite")), SitesError);
  {
    TDatabase foreign(Path(u8"чужая.db"), TDatabase::Mode::OpenOrCreate);
    foreign.Exec("CREATE TABLE sites(x)");
  }
  EXPECT_THROW(ImportSites(theirs, Path(u8"чужая.db")), SitesError);
  EXPECT_TRUE(theirs.Sites().empty());
  EXPECT_THROW(ExportSite(theirs, 42, Path(u8"x.zxsite")), SitesError);
  EXPECT_FALSE(fs::exists(dir / "x.zxsite"));
}

// Exported by the Linux build (and packed small with page_size 512): the
// Windows build under Wine imports the same file.
TEST_F(SitesTest, AFileExportedByTheOtherSystemsBuildImportsWhole) {
  TSiteStore store(Path(u8"sites.db"));
  const TImportReport report = ImportSites(store, ZARVEX_SITES_TEST_DATA "/exported-by-linux.zxsite");
  EXPECT_EQ(report.sitesAdded, 1);
  EXPECT_EQ(report.snapshotsAdded, 2);
  const auto site = store.SiteByName("Склад №3");
  ASSERT_TRUE(site);
  EXPECT_EQ(site->customer, "ИП Сидоров");
  const auto snapshots = store.Snapshots(site->id);
  ASSERT_EQ(snapshots.size(), 2u);
  EXPECT_EQ(snapshots[0].kind, "written");
  TCFG cfg;
  ParseSettings(snapshots[0].content, cfg);
  EXPECT_EQ(cfg.AccessPoint, "x.apn");
  EXPECT_EQ(store.Match({"", 0, "654321", "", ""})->id, site->id);
}

}  // namespace
}  // namespace zarvex::sites::test
