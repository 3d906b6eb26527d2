// zarvex-cli against the simulated panel over the virtual HID platform: every
// command and every exit code, run as a user would run it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "cli/cli_app.h"
#include "cli/cli_output.h"
#include "cli/panel_session.h"
#include "hid/virtual_hid_platform.h"
#include "settings/settings_file.h"
#include "settings/installer_units.h"
#include "settings/settings_format.h"
#include "sim/virtual_panel.h"
#include "sites/site_store.h"

namespace zarvex::cli {
namespace {

namespace fs = std::filesystem;

struct Result {
  int code;
  std::string out, err;
};

class CliTest : public ::testing::Test {
 protected:
  CliTest() : dir(fs::temp_directory_path() / ("zarvex-cli-" + std::to_string(::getpid()))) {
    fs::create_directories(dir);
  }
  ~CliTest() override { fs::remove_all(dir); }

  Result Run(std::vector<std::string> args) {
    std::ostringstream out, err;
    CliEnvironment env{out, err};
    env.pace = link::THeadlessDriver::Pace::Fast;
    env.pairingWaitMs = 3000;
    env.pollMs = 5;
    env.interrupted = &stop;
    env.sitesDatabase = File("sites.db");
    const int code = RunCli(args, platform, env);
    return {code, out.str(), err.str()};
  }

  std::string File(const std::string& name) const { return (dir / name).string(); }

  // A settings file with a value of every kind changed from the factory.
  std::string SiteFile(int armDelaySeconds = 45) {
    TCFG cfg;
    cfg.Phone.fill("*");
    cfg.Phone[1] = "+79001234567";
    for (auto& c : cfg.KeypadCode) c = "4321";
    cfg.KeypadCode0 = "9999";  // forced back to the factory code by a write
    cfg.AccessPoint = "site.apn";
    cfg.ServerAddress = "10.0.0.1:5000";
    cfg.ArmDelay = armDelaySeconds * 10 + 1;
    cfg.TestPeriod = 360;
    cfg.InputDelay.fill(1);
    cfg.InputType.fill(1);
    cfg.SmsEventMask = "1111111111111100";
    cfg.CallEventMask = "1000000000000000";
    SplitEventMasks(cfg);
    cfg.InputName.fill("Zone");
    cfg.AuxValue6 = 99;  // forced to 13
    const std::string name = File("site.cfg");
    SaveSettingsFile(name, cfg);
    return name;
  }

  hid::VirtualHidPlatform platform;
  sim::VirtualPanel panel{platform};
  fs::path dir;
  std::atomic<bool> stop{false};
};

TEST_F(CliTest, HelpAndUsageErrors) {
  EXPECT_EQ(Run({"--help"}).code, kOk);
  for (const char* command : {"list", "read", "write", "diff", "show", "keys", "wireless", "provision"}) {
    const Result r = Run({command, "--help"});
    EXPECT_EQ(r.code, kOk) << command;
    EXPECT_NE(r.out.find("Коды выхода"), std::string::npos) << command;
  }
  EXPECT_EQ(Run({}).code, kUsage);
  EXPECT_EQ(Run({"frobnicate"}).code, kUsage);
  EXPECT_EQ(Run({"read", "--bogus"}).code, kUsage);
  EXPECT_EQ(Run({"write"}).code, kUsage);
  EXPECT_EQ(Run({"keys", "add", "0", "5"}).code, kUsage);
  EXPECT_EQ(Run({"wireless", "pair-sensor", "5", "1"}).code, kUsage);
}

TEST_F(CliTest, NoPanelNoAccessAndSilence) {
  EXPECT_EQ(Run({"list"}).code, kNoPanel);
  EXPECT_EQ(Run({"read"}).code, kNoPanel);

  hid::VirtualDeviceSpec locked = sim::VirtualPanel::PanelDevice();
  locked.readWriteAccess = false;
  panel.Plug(sim::PanelKind::First, 430, locked);
  const Result denied = Run({"read"});
  EXPECT_EQ(denied.code, kNoAccess);
  EXPECT_NE(denied.err.find(platform.DevicePath(*panel.DeviceId())), std::string::npos);
  EXPECT_NE(denied.err.find(NoAccessText(platform.DevicePath(*panel.DeviceId()))), std::string::npos);
  const Result listed = Run({"list"});
  EXPECT_EQ(listed.code, kOk);
  EXPECT_NE(listed.out.find("только запрос"), std::string::npos);

  panel.Plug(sim::PanelKind::First);
  panel.DropNextAnswer();  // the type query
  const Result silent = Run({"read"});
  EXPECT_EQ(silent.code, kNoAnswer);
  EXPECT_NE(silent.err.find("Панель не отвечает"), std::string::npos);
}

TEST_F(CliTest, ListShowsModelVersionAndAccess) {
  panel.Plug(sim::PanelKind::Second);
  const Result r = Run({"list"});
  EXPECT_EQ(r.code, kOk);
  EXPECT_NE(r.out.find("Zarvex GSM ZX-4110\t520\tчтение и запись"), std::string::npos) << r.out;
  const Result json = Run({"list", "--json"});
  EXPECT_NE(json.out.find("\"firmware\": \"520\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"read_write\": true"), std::string::npos);
}

// A second program on a panel the first one holds would interleave its
// requests with the first one's: it is refused, with a hint that is true.
TEST_F(CliTest, ASecondProgramOnAHeldPanelIsRefusedAsBusyUntilTheFirstLetsGo) {
  panel.Plug(sim::PanelKind::First);
  const std::string node = platform.DevicePath(*panel.DeviceId());
  auto first = std::make_unique<TPanelSession>(platform, "", link::THeadlessDriver::Pace::Fast);
  ASSERT_EQ(first->Connect(), kOk) << first->Message();
  EXPECT_TRUE(platform.Claimed(*panel.DeviceId()));

  const Result second = Run({"read"});
  EXPECT_EQ(second.code, kNoAccess);
  EXPECT_NE(second.err.find(BusyText(node)), std::string::npos) << second.err;
  const Result listed = Run({"list", "--json"});
  EXPECT_NE(listed.out.find("\"busy\": true"), std::string::npos) << listed.out;
  EXPECT_NE(Run({"list"}).out.find("занята другой программой"), std::string::npos);

  // A session that got as far as the link is told the same.
  TPanelSession another(platform, node, link::THeadlessDriver::Pace::Fast);
  EXPECT_EQ(another.Connect(), kNoAccess);
  EXPECT_EQ(another.Message(), BusyText(node));

  EXPECT_EQ(first->Read(), kOk);  // the holder is undisturbed
  first.reset();
  EXPECT_FALSE(platform.Claimed(*panel.DeviceId()));
  EXPECT_EQ(Run({"read"}).code, kOk);
}

// A Russian installer's folders: every command that takes a path.
TEST_F(CliTest, CyrillicFolderAndFileNamesThroughEveryCommandThatTakesAPath) {
  const fs::path folder = dir / fs::path(u8"Объекты Иванова");
  fs::create_directories(folder);
  auto name = [&](const char8_t* file) {
    const std::u8string text = (folder / fs::path(file)).u8string();
    return std::string(text.begin(), text.end());
  };
  panel.Plug(sim::PanelKind::First);
  const std::string read = name(u8"настройки.cfg");
  ASSERT_EQ(Run({"read", "-o", read}).code, kOk);
  ASSERT_TRUE(fs::exists(folder / fs::path(u8"настройки.cfg")));
  EXPECT_EQ(Run({"show", read}).code, kOk);
  EXPECT_EQ(Run({"diff", read}).code, kOk);

  const std::string site = name(u8"объект №3.cfg");
  fs::copy_file(SiteFile(), folder / fs::path(u8"объект №3.cfg"));
  const Result written = Run({"write", site, "--verify"});
  EXPECT_EQ(written.code, kOk) << written.err;
  const std::string journal = name(u8"журнал.txt");
  const Result provisioned = Run({"provision", site, "--log", journal, "--panels", "1"});
  EXPECT_NE(provisioned.out.find("ГОТОВО"), std::string::npos) << provisioned.err;
  std::ifstream log(folder / fs::path(u8"журнал.txt"));
  const std::string logged((std::istreambuf_iterator<char>(log)), {});
  EXPECT_NE(logged.find("ГОТОВО"), std::string::npos);
}

// A console that shows "\033[K" as text (Windows before its escapes are
// switched on) gets the bar padded, so a shorter line covers a longer one.
TEST(ProgressLineTest, WithoutEscapesTheLineIsPaddedToCoverTheLongerOneBefore) {
  const std::string escaped = ProgressLine("Запись: 3 из 56", true, true);
  EXPECT_EQ(escaped.rfind("\r\033[K[", 0), 0u) << escaped;
  const std::string padded = ProgressLine("Запись: 3 из 56", true, false);
  EXPECT_EQ(padded.find('\033'), std::string::npos);
  EXPECT_EQ(padded.rfind("\r[", 0), 0u);
  EXPECT_EQ(padded.back(), ' ');
  size_t shown = 0;
  for (unsigned char c : padded.substr(1)) shown += (c & 0xC0) != 0x80;
  EXPECT_EQ(shown, 79u);  // counted in characters, not in UTF-8 bytes
  EXPECT_EQ(ProgressLine("Запись: 3 из 56", false, false), "Запись: 3 из 56\n");
}

TEST_F(CliTest, ReadsAndWritesAreFiledUnderTheirSiteAndTheSiteIsHandedOver) {
  panel.Plug(sim::PanelKind::First);
  const Result read = Run({"read", "-o", File("panel.cfg"), "--site", "Склад №3"});
  EXPECT_EQ(read.code, kOk) << read.err;
  EXPECT_NE(read.err.find("Объект «Склад №3» создан"), std::string::npos) << read.err;
  EXPECT_EQ(Run({"write", SiteFile(), "--verify", "--site", "склад №3"}).code, kOk);  // the same site
  const Result shown = Run({"sites", "show", "Склад №3", "--json"});
  EXPECT_EQ(shown.code, kOk) << shown.err;
  for (const char* kind : {"\"read\"", "\"written\"", "\"verify\""}) {
    EXPECT_NE(shown.out.find(kind), std::string::npos) << kind << shown.out;
  }
  EXPECT_NE(Run({"sites", "list"}).out.find("Склад №3"), std::string::npos);
  EXPECT_NE(Run({"sites", "find", "СКЛАД"}).out.find("Склад №3"), std::string::npos);
  EXPECT_EQ(Run({"sites", "show", "Нет такого"}).code, kNoPanel);
  EXPECT_EQ(Run({"sites", "export", "Склад №3"}).code, kUsage);  // no -o

  ASSERT_EQ(Run({"sites", "export", "Склад №3", "-o", File("handed.zxsite")}).code, kOk);
  fs::rename(dir / "sites.db", dir / "mine.db");
  fs::remove(dir / "sites.db-wal");
  fs::remove(dir / "sites.db-shm");
  const Result imported = Run({"sites", "import", File("handed.zxsite"), "--json"});
  EXPECT_EQ(imported.code, kOk) << imported.err;
  EXPECT_NE(imported.out.find("\"snapshots_added\": 3"), std::string::npos) << imported.out;
  EXPECT_NE(Run({"sites", "import", File("handed.zxsite")}).out.find("снимков добавлено: 0, уже были: 3"),
            std::string::npos);
  EXPECT_EQ(Run({"sites", "backup", "-o", File("copy.db")}).code, kOk);
  EXPECT_TRUE(fs::exists(dir / "copy.db"));

  // A refused import into a database of its own leaves none behind.
  std::ofstream(dir / "letter.txt") << "Здравствуйте!";
  const Result refused = Run({"sites", "import", File("letter.txt"), "--db", File("new.db")});
  EXPECT_EQ(refused.code, kFileError) << refused.err;
  EXPECT_NE(refused.err.find("не является файлом объектов"), std::string::npos) << refused.err;
  for (const char* left : {"new.db", "new.db-wal", "new.db-shm", "new.db.backups"}) {
    EXPECT_FALSE(fs::exists(dir / left)) << left;
  }
  EXPECT_EQ(Run({"sites", "import", File("handed.zxsite"), "--db", File("new.db")}).code, kOk);
  EXPECT_TRUE(fs::exists(dir / "new.db"));
}

// Sites filled from a company's customer list by a script: each field an
// edit of its own, as the window's page makes it, that travels in a
// hand-over file; a name twice is refused with the candidates.
TEST_F(CliTest, SitesAreAddedAndTheirFieldsSetFromTheCommandLineAsTheWindowEditsThem) {
  const Result added = Run({"sites", "add", "Аптека №2", "--customer", "ООО «Здоровье»", "--address", "ул. Мира, 1",
                            "--phones", "+7 912 345-67-89", "--json"});
  ASSERT_EQ(added.code, kOk) << added.err;
  EXPECT_NE(added.out.find("\"customer\": \"ООО «Здоровье»\""), std::string::npos) << added.out;
  EXPECT_EQ(Run({"sites", "add", "аптека №2"}).code, kUsage);  // there already
  EXPECT_EQ(Run({"sites", "add", "Аптека №3", "--owner", "x"}).code, kUsage);

  EXPECT_EQ(Run({"sites", "set", "аптека №2", "адрес", "ул. Мира, 3"}).code, kOk);
  const Result set = Run({"sites", "set", "Аптека №2", "notes", "ключ у охраны", "--json"});
  ASSERT_EQ(set.code, kOk) << set.err;
  EXPECT_NE(set.out.find("\"address\": \"ул. Мира, 3\""), std::string::npos) << set.out;
  EXPECT_NE(set.out.find("\"notes\": \"ключ у охраны\""), std::string::npos) << set.out;
  EXPECT_EQ(Run({"sites", "set", "Аптека №2", "цвет", "синий"}).code, kUsage);
  EXPECT_EQ(Run({"sites", "set", "Аптека №2", "name", ""}).code, kUsage);
  EXPECT_EQ(Run({"sites", "set", "Нет такой", "notes", "x"}).code, kNoPanel);
  ASSERT_EQ(Run({"sites", "set", "Аптека №2", "name", "Аптека «Мира»"}).code, kOk);
  {
    sites::TSiteStore store(File("sites.db"));
    const auto site = store.SiteByName("Аптека «Мира»");
    ASSERT_TRUE(site);
    // Every field as it was made, and three edits, each a change of its own.
    EXPECT_EQ(store.Changes(site->id).size(), 5u + 3u);
  }
  // Handed over, the edits arrive as edits.
  ASSERT_EQ(Run({"sites", "export", "Аптека «Мира»", "-o", File("handed.zxsite")}).code, kOk);
  ASSERT_EQ(Run({"sites", "import", File("handed.zxsite"), "--db", File("other.db")}).code, kOk);
  const Result there = Run({"sites", "show", "Аптека «Мира»", "--json", "--db", File("other.db")});
  EXPECT_NE(there.out.find("\"notes\": \"ключ у охраны\""), std::string::npos) << there.out;

  // Two sites of one name: the edit is refused with both named.
  sites::TSiteStore(File("sites.db")).CreateSite({0, "", "Аптека «Мира»"});
  const Result ambiguous = Run({"sites", "set", "Аптека «Мира»", "notes", "x"});
  EXPECT_EQ(ambiguous.code, kUsage);
  EXPECT_NE(ambiguous.err.find("несколько"), std::string::npos) << ambiguous.err;
}

// A damaged database is told and left; the read itself is not lost.
TEST_F(CliTest, ADamagedSiteDatabaseIsToldTheReadIsKeptAndTheFileIsNotTouched) {
  std::ofstream(dir / "sites.db", std::ios::binary) << "this is no database, and it stays so";
  panel.Plug(sim::PanelKind::First);
  const Result read = Run({"read", "-o", File("panel.cfg"), "--site", "Склад"});
  EXPECT_EQ(read.code, kFileError);
  EXPECT_NE(read.err.find("Снимок не подшит"), std::string::npos) << read.err;
  EXPECT_TRUE(fs::exists(dir / "panel.cfg"));
  std::ifstream in(dir / "sites.db", std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "this is no database, and it stays so");
  EXPECT_EQ(Run({"sites", "list"}).code, kFileError);
}

TEST_F(CliTest, ReadPrintsTheTableOrWritesTheFile) {
  panel.Plug(sim::PanelKind::First);
  const Result table = Run({"read"});
  EXPECT_EQ(table.code, kOk) << table.err;
  EXPECT_NE(table.out.find("Задержка на постановку (сек.): "), std::string::npos);
  EXPECT_NE(table.err.find("Конфигурация прочитана"), std::string::npos);

  const Result saved = Run({"read", "-o", File("panel.cfg")});
  EXPECT_EQ(saved.code, kOk) << saved.err;
  TCFG read;
  LoadSettingsFile(File("panel.cfg"), read);
  EXPECT_EQ(read.FirmwareVersion, 430);
  std::ifstream in(File("panel.cfg"), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 61);

  EXPECT_EQ(Run({"read", "-o", File("no/such/dir/x.cfg")}).code, kFileError);
  EXPECT_EQ(Run({"show", File("missing.cfg")}).code, kFileError);
}

TEST_F(CliTest, WriteAppliesTheCollectRulesAndVerifyCatchesAStuckParameter) {
  panel.Plug(sim::PanelKind::First, 445);
  const std::string site = SiteFile();
  const Result written = Run({"write", site, "--verify"});
  EXPECT_EQ(written.code, kOk) << written.err;
  const sim::PanelConfiguration held = panel.Configuration();
  EXPECT_EQ(held.Number(18), 451);
  EXPECT_EQ(held.Text(3), "+79001234567");
  EXPECT_EQ(held.Text(1).substr(0, 8), "12344321");  // slot 0 forced to the factory code
  EXPECT_EQ(held.Number(46), 13);                    // forced as a collect would
  // Firmware 441..499 with autonomous mode off: parameter 55 carries VpnAndId.
  TCFG file;
  LoadSettingsFile(site, file);
  EXPECT_EQ(held.Text(55), file.AutonomousOff == 1 ? file.VpnAndId : file.InputName[5]);

  panel.KeepParameter(18);  // the panel acknowledges but keeps its old delay
  const Result mismatch = Run({"write", SiteFile(90), "--verify"});
  EXPECT_EQ(mismatch.code, kMismatch);
  EXPECT_NE(mismatch.err.find("Отличается 1 параметр из 56"), std::string::npos) << mismatch.err;
  EXPECT_NE(mismatch.err.find("Задержка на постановку (сек.): «90 с» (901) → «45 с» (451)"),
            std::string::npos)
      << mismatch.err;
}

TEST_F(CliTest, DiffListsWhatThePanelHoldsAgainstTheFile) {
  panel.Plug(sim::PanelKind::First);
  const std::string site = SiteFile();
  const Result before = Run({"diff", site});
  EXPECT_EQ(before.code, kMismatch);
  EXPECT_NE(before.out.find("Точка доступа (AP)"), std::string::npos);
  ASSERT_EQ(Run({"write", site}).code, kOk);
  ASSERT_EQ(Run({"read", "-o", File("now.cfg")}).code, kOk);
  const Result after = Run({"diff", File("now.cfg"), "--json"});
  EXPECT_EQ(after.code, kOk) << after.out;
  EXPECT_NE(after.out.find("\"parameters_differing\": 0"), std::string::npos);
}

// diff answers "would write FILE change this panel?", nothing else.
TEST_F(CliTest, DiffIsCleanRightAfterAVerifiedWriteWhateverTheFileCarriesBeside) {
  panel.Plug(sim::PanelKind::First, 441);
  TCFG site;
  LoadSettingsFile(SiteFile(), site);
  site.AutonomousOff = 1;          // parameter 55 carries VPN/ID to this panel
  site.InputName[5] = "Alarm Input6";
  site.VpnAndId = "1123456";
  site.KeypadCode0 = "9999";       // forced to the factory code by the write
  site.AuxText2 = "service";       // forced empty
  site.TestPeriod = 65536 + 360;   // only its 16 bits travel
  SaveSettingsFile(File("441.cfg"), site);
  ASSERT_EQ(Run({"write", File("441.cfg"), "--allow-short", "--verify"}).code, kFileError);  // 65896
  site.TestPeriod = 360;
  SaveSettingsFile(File("441.cfg"), site);
  ASSERT_EQ(Run({"write", File("441.cfg"), "--verify"}).code, kOk);
  const Result same = Run({"diff", File("441.cfg")});
  EXPECT_EQ(same.code, kOk) << same.out;
  EXPECT_NE(same.out.find("Отличаются 0 параметров из 56"), std::string::npos) << same.out;

  // A 430 panel takes no VPN/ID: a file that differs only there is no difference.
  panel.Plug(sim::PanelKind::First, 430);
  ASSERT_EQ(Run({"read", "-o", File("430.cfg")}).code, kOk);
  TCFG held;
  LoadSettingsFile(File("430.cfg"), held);
  held.VpnAndId = "1123456";
  SaveSettingsFile(File("430.cfg"), held);
  EXPECT_EQ(Run({"diff", File("430.cfg")}).code, kOk);
  const Result all = Run({"diff", File("430.cfg"), "--all"});
  EXPECT_EQ(all.code, kOk);
  EXPECT_NE(all.out.find("Не передаются в эту панель"), std::string::npos) << all.out;
  EXPECT_NE(all.out.find("VPN: «нет» () → «да» (1)"), std::string::npos) << all.out;
}

TEST_F(CliTest, ACutFileIsToldAndRefusedForAWriteUnlessAllowed) {
  const std::string site = SiteFile();
  std::string contents;
  {
    std::ifstream in(site, std::ios::binary);
    contents.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::ofstream(File("cut.cfg"), std::ios::binary) << contents.substr(0, 120);
  const std::string cut = File("cut.cfg");
  const int lines = static_cast<int>(std::count(contents.begin(), contents.begin() + 120, '\n')) +
                    (contents[119] != '\n');
  const std::string warning = "В файле " + std::to_string(lines) + " строк";

  EXPECT_NE(Run({"show", cut}).err.find(warning), std::string::npos);
  panel.Plug(sim::PanelKind::First);
  const Result refused = Run({"write", cut});
  EXPECT_EQ(refused.code, kFileError);
  EXPECT_NE(refused.err.find(warning), std::string::npos) << refused.err;
  EXPECT_TRUE(panel.ReceivedReports().empty());  // not even connected
  EXPECT_EQ(Run({"provision", cut, "--panels", "1"}).code, kFileError);
  EXPECT_EQ(Run({"write", cut, "--allow-short"}).code, kOk);
  // A file that only lacks its last line is written as before.
  std::ofstream(File("older.cfg"), std::ios::binary)
      << contents.substr(0, contents.rfind('\n', contents.size() - 2) + 1);
  EXPECT_EQ(Run({"write", File("older.cfg")}).code, kOk);
}

TEST_F(CliTest, ANumberThePanelCannotHoldRefusesTheWriteAndNamesTheField) {
  TCFG site;
  site.TestPeriod = 99999;
  SaveSettingsFile(File("big.cfg"), site);
  panel.Plug(sim::PanelKind::First);
  const Result r = Run({"write", File("big.cfg")});
  EXPECT_EQ(r.code, kFileError);
  EXPECT_NE(r.err.find("«Периодический тест (мин.)»"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("99999"), std::string::npos) << r.err;
  site.TestPeriod = 0;
  site.InputDelay[2] = DelayCode(6554);  // 65541: over 16 bits
  SaveSettingsFile(File("big.cfg"), site);
  const Result delay = Run({"provision", File("big.cfg"), "--panels", "1"});
  EXPECT_EQ(delay.code, kFileError);
  EXPECT_NE(delay.err.find("«Задержка входа 3 (сек.)»"), std::string::npos) << delay.err;
  EXPECT_TRUE(panel.ReceivedReports().empty());
}

TEST_F(CliTest, InterruptedWriteIsReportedWithItsCount) {
  panel.Plug(sim::PanelKind::First);
  panel.UnplugAfterRequests(3 + 20);  // identification, then 20 steps
  const Result r = Run({"write", SiteFile()});
  EXPECT_EQ(r.code, kPanelError);
  EXPECT_NE(r.err.find("Запись прервана: записано 20 из 56"), std::string::npos) << r.err;
}

TEST_F(CliTest, APanelFallingSilentInTheMiddleEndsTheCommandWithExit5) {
  // At the fast pace the clock moves only with ticks: these hung before.
  panel.Plug(sim::PanelKind::First);
  panel.FallSilentAfterRequests(3 + 20);
  const Result read = Run({"read"});
  EXPECT_EQ(read.code, kNoAnswer);
  EXPECT_NE(read.err.find("Панель не отвечает (параметр"), std::string::npos) << read.err;

  panel.Plug(sim::PanelKind::First);
  panel.FallSilentAfterRequests(3 + 30);
  const Result write = Run({"write", SiteFile()});
  EXPECT_EQ(write.code, kNoAnswer);
  EXPECT_EQ(write.err.find("Конфигурация записана"), std::string::npos) << write.err;
}

// Sets the stop flag, as Ctrl+C does, once the panel has had a report that `asked` picks.
std::thread InterruptWhen(sim::VirtualPanel& panel, std::atomic<bool>& stop,
                          std::function<bool(const sim::Report&)> asked) {
  return std::thread([&panel, &stop, asked] {
    for (;;) {
      const auto reports = panel.ReceivedReports();
      if (std::any_of(reports.begin(), reports.end(), asked)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    stop = true;
  });
}

TEST_F(CliTest, CtrlCEndsAWriteAsCutAndAPairingWaitAtOnce) {
  panel.Plug(sim::PanelKind::First);
  const std::string site = SiteFile();
  // The tenth write step sent, and held unanswered so the write is still under way.
  panel.FallSilentAfterRequests(3 + 10);
  std::thread ctrlC = InterruptWhen(
      panel, stop, [](const sim::Report& r) { return r.size() > 4 && r[3] == 0x10 && r[4] == 10; });
  const Result write = Run({"write", site});
  ctrlC.join();
  EXPECT_EQ(write.code, kInterrupted);
  EXPECT_NE(write.err.find("Запись прервана: записано 10 из 56"), std::string::npos) << write.err;
  EXPECT_EQ(write.err.find("Конфигурация записана"), std::string::npos) << write.err;

  stop = false;
  panel.Plug(sim::PanelKind::Second);
  // The pairing request sent; nobody presses the button.
  ctrlC = InterruptWhen(
      panel, stop, [](const sim::Report& r) { return r.size() > 4 && r[3] == 0x10 && r[4] == 0xE6; });
  const Result pairing = Run({"wireless", "pair-fob", "4"});
  ctrlC.join();
  EXPECT_EQ(pairing.code, kInterrupted) << pairing.err;
  EXPECT_NE(pairing.err.find("Прервано"), std::string::npos) << pairing.err;
}

TEST_F(CliTest, KeysOnTheFirstModelAndRefusedOnTheSecond) {
  panel.Plug(sim::PanelKind::First);
  panel.WithModel([](sim::PanelModel& m) {
    m.Keys().Put(3, {1, 2, 3, 4, 5, 6, 7, 8});
    m.Keys().Put(7, {1, 2, 3, 4, 5, 6, 7, 8});
  });
  const Result list = Run({"keys", "list"});
  EXPECT_EQ(list.code, kOk) << list.err;
  EXPECT_NE(list.out.find("7\t01-02-03-04-05-06-07-08\t3"), std::string::npos) << list.out;
  EXPECT_EQ(Run({"keys", "add", "5", "9"}).code, kOk);
  const Result deleted = Run({"keys", "delete-all"});
  EXPECT_EQ(deleted.code, kOk);
  EXPECT_NE(deleted.err.find("Код(ы) удален(ы)"), std::string::npos);
  EXPECT_TRUE(panel.StoredKeys().empty());

  panel.Plug(sim::PanelKind::Second);
  const Result refused = Run({"keys", "list"});
  EXPECT_EQ(refused.code, kPanelError);
  EXPECT_NE(refused.err.find("первой модели"), std::string::npos);
}

TEST_F(CliTest, WirelessListPairAndDelete) {
  panel.Plug(sim::PanelKind::Second);
  std::thread device([this] {  // the installer presses the fob's button once it is asked to
    auto asked = [this] {
      for (const sim::Report& r : panel.ReceivedReports()) {
        if (r.size() > 4 && r[3] == 0x10 && r[4] == 0xE6) return true;
      }
      return false;
    };
    while (!asked()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    panel.AnswerPairing();
  });
  const Result paired = Run({"wireless", "pair-fob", "4"});
  device.join();
  EXPECT_EQ(paired.code, kOk) << paired.err;
  const Result list = Run({"wireless", "list"});
  EXPECT_NE(list.out.find("Брелоки: 4"), std::string::npos) << list.out;
  EXPECT_EQ(Run({"wireless", "delete-fob", "4"}).code, kOk);
  EXPECT_NE(Run({"wireless", "list"}).out.find("Брелоки: пусто"), std::string::npos);

  const Result unanswered = Run({"wireless", "pair-sensor", "3", "2"});
  EXPECT_EQ(unanswered.code, kPanelError);  // nobody pressed the sensor's button

  panel.Plug(sim::PanelKind::First);
  EXPECT_EQ(Run({"wireless", "pair-fob", "1"}).code, kPanelError);
}

TEST_F(CliTest, SeveralPanelsNeedADevice) {
  panel.Plug(sim::PanelKind::First);
  sim::VirtualPanel second(platform);
  second.Plug(sim::PanelKind::Second);
  const Result refused = Run({"read"});
  EXPECT_EQ(refused.code, kUsage);
  EXPECT_NE(refused.err.find("--device"), std::string::npos);
  const std::string node = platform.DevicePath(*second.DeviceId());
  const Result chosen = Run({"--device", node, "read", "--json"});
  EXPECT_EQ(chosen.code, kOk) << chosen.err;
  EXPECT_NE(chosen.out.find("\"raw\": \"520\""), std::string::npos);
}

TEST_F(CliTest, AHugePanelCountIsAUsageErrorAndALogThatCannotBeWrittenIsTold) {
  const std::string site = SiteFile();
  const Result huge = Run({"provision", site, "--panels", "99999999999"});
  EXPECT_EQ(huge.code, kUsage);
  EXPECT_NE(huge.err.find("--panels"), std::string::npos);

  panel.Plug(sim::PanelKind::First);
  const Result full = Run({"provision", site, "--log", "/dev/full", "--panels", "1"});
  EXPECT_EQ(full.code, kFileError);
  EXPECT_NE(full.err.find("Не удалось записать журнал /dev/full"), std::string::npos) << full.err;
  EXPECT_NE(full.out.find("ГОТОВО"), std::string::npos) << full.out;  // the line still shown
}

TEST_F(CliTest, ProvisionTwoPanelsInARowAndGoesOnAfterAFailure) {
  const std::string site = SiteFile();
  std::thread installer([this] {
    panel.Plug(sim::PanelKind::First);
    // Swapped once provision has let go of it, written and verified: the
    // session's claim, held from the write on, ends then, however slow the
    // machine.
    const auto first = *panel.DeviceId();
    auto waitFor = [](const std::function<bool()>& done) {
      for (int i = 0; i < 2000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    waitFor([&] { return panel.Configuration().Number(18) == 451; });
    waitFor([&] { return !platform.Claimed(first); });
    panel.Plug(sim::PanelKind::Second);  // the next panel on the bench
    panel.UnplugAfterRequests(10);       // and its cable is loose
  });
  const Result r = Run({"provision", site, "--verify", "--log", File("log.txt"), "--panels", "2"});
  installer.join();
  EXPECT_EQ(r.code, kPanelError);
  EXPECT_NE(r.out.find("Zarvex GSM\t430\tГОТОВО: записано и проверено"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("ОШИБКА"), std::string::npos) << r.out;
  std::ifstream log(File("log.txt"));
  const std::string logged((std::istreambuf_iterator<char>(log)), {});
  EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), 2);
}

}  // namespace
}  // namespace zarvex::cli
