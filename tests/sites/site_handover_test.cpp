// One site handed from one technician's database to another's: whole, never
// twice, conflicting edits told and both kept, and a file that is no site
// database refused without harm.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "sites/site_handover.h"
#include "sites_test_support.h"

namespace zarvex::sites::test {
namespace {

TEST_F(SitesTest, ASiteExportedAndImportedArrivesWholeAndASecondImportAddsNothing) {
  TSiteStore mine(Path(u8"мой.db"));
  const TSite shop = mine.CreateSite({0, "", "Склад №3", "ИП Сидоров", "Промзона", "+79001234567", "код 1234 у охраны"});
  mine.FileSnapshot(PanelFile("100200", "+79000000001", "+79000000002"), "read", shop.id, "2026-12-01T09:00:00.000Z");
  mine.FileSnapshot(PanelFile("100200", "+79000000001", "+79000000002", 430, "new.apn"), "written", shop.id,
                    "2026-12-01T09:05:00.000Z");
  mine.FileSnapshot(PanelFile("100200"), "verify", shop.id, "2026-12-01T09:06:00.000Z");
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
  EXPECT_EQ(again.sitesUnchanged, 1);
  EXPECT_EQ(again.sitesUpdated, 0);
  EXPECT_EQ(again.snapshotsAdded, 0);
  EXPECT_EQ(again.snapshotsAlreadyThere, 3);
  EXPECT_TRUE(again.conflicts.empty());
  EXPECT_EQ(theirs.Snapshots(arrived.id).size(), 3u);
}

// A field only one side changed takes that side's value; one both changed is
// a conflict with both values kept, until one is taken, and the taking
// travels like any edit.
TEST_F(SitesTest, AOneSidedEditIsTakenABothSidedOneIsAConflictAndItsResolutionTravels) {
  TSiteStore mine(Path(u8"мой.db"));
  TSite site = mine.CreateSite({0, "", "Дача", "Петров", "Озёрная 3"});
  const std::string handed = Path(u8"дача.zxsite");
  ExportSite(mine, site.id, handed);
  TSiteStore theirs(Path(u8"их.db"));
  ImportSites(theirs, handed);

  site = *mine.Site(site.id);
  site.address = "Озёрная 3, корп. 2";  // mine
  site.notes = "собака во дворе";      // mine alone
  mine.UpdateSite(site);
  mine.FileSnapshot(PanelFile("300400"), "read", site.id, "2026-12-02T12:00:00.000Z");
  TSite other = theirs.Sites()[0];
  other.address = "Озёрная улица, 3";  // theirs, differently
  other.customer = "Петрова";          // theirs alone
  theirs.UpdateSite(other);
  ExportSite(mine, site.id, handed);  // replaces the earlier file

  const TImportReport report = ImportSites(theirs, handed);
  EXPECT_EQ(report.snapshotsAdded, 1);
  EXPECT_EQ(report.sitesUpdated, 1);
  EXPECT_EQ(report.fieldsTaken, 1);
  ASSERT_EQ(report.conflicts.size(), 1u);
  EXPECT_EQ(report.conflicts[0].field, "адрес");
  const std::set<std::string> both = {report.conflicts[0].local, report.conflicts[0].imported};
  EXPECT_EQ(both, (std::set<std::string>{"Озёрная улица, 3", "Озёрная 3, корп. 2"}));
  const TSite merged = theirs.Sites()[0];
  EXPECT_EQ(merged.notes, "собака во дворе");  // only mine changed it: taken
  EXPECT_EQ(merged.customer, "Петрова");       // only theirs changed it: kept
  EXPECT_EQ(theirs.Conflicts(other.id).size(), 1u);
  const TImportReport again = ImportSites(theirs, handed);
  EXPECT_TRUE(again.conflicts.empty());  // told once
  EXPECT_EQ(again.sitesUnchanged, 1);

  theirs.Resolve(other.id, "адрес", "Озёрная 3, корп. 2");
  EXPECT_TRUE(theirs.Conflicts(other.id).empty());
  EXPECT_EQ(theirs.Sites()[0].address, "Озёрная 3, корп. 2");
  const std::string back = Path(u8"обратно.zxsite");
  ExportSite(theirs, other.id, back);
  const TImportReport home = ImportSites(mine, back);
  EXPECT_TRUE(home.conflicts.empty());
  const TSite mineNow = *mine.Site(site.id);
  EXPECT_EQ(mineNow.address, "Озёрная 3, корп. 2");
  EXPECT_EQ(mineNow.customer, "Петрова");
  EXPECT_TRUE(mine.Conflicts(site.id).empty());
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
