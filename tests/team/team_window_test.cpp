// The company's server in the window, against the tests' own PostgreSQL:
// joining through «Подключиться к серверу компании…» brings a colleague's
// site with who changed it and its server record; a server that is gone or
// silent is told in the status line, and the close is not held for it; a
// snapshot without the keypad codes never puts hidden codes in the window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTcpServer>
#include <QTimer>

#include "../demo/window_stack.h"
#include "demo/session_wait.h"
#include "settings/russian_plural.h"
#include "settings/settings_format.h"
#include "sites/field_changes.h"
#include "sites/site_store.h"
#include "sites/utc_time.h"
#include "team/team_sync.h"
#include "test_server.h"
#include "ui/site_log_dialog.h"
#include "ui/sites_dialog.h"
#include "ui/team_join_dialog.h"
#include "ui/team_worker.h"
#include "ui/tmain_window.h"

namespace zarvex::team::test {
namespace {

const auto* const environment = ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

std::string PanelFile(const std::string& codes) {
  TCFG cfg;
  cfg.Phone.fill("*");
  cfg.VpnAndId = "1700042";
  cfg.FirmwareVersion = 430;
  cfg.KeypadCode0 = codes;
  cfg.KeypadCode[0] = codes;
  return FormatSettings(cfg);
}

class TeamWindowTest : public ::testing::Test, public zarvex::testing::WindowStack {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Start());
    window = std::make_unique<TMainWindow>(*form, dir.filePath(QStringLiteral("history")));
    ASSERT_TRUE(window->Sites());
    ASSERT_TRUE(window->Team());
  }
  void TearDown() override {
    window.reset();
    Stop();
  }
  TTeamWorker& Team() { return *window->Team(); }
  // «Подключиться к серверу компании…» filled as the installer fills it.
  void JoinAs(const std::string& login, const std::string& password) {
    TTeamJoinDialog join(Team(), window.get());
    const TServerAddress a = server->As(login);
    join.findChild<QLineEdit*>(QStringLiteral("EditTeamHost"))->setText(QString::fromStdString(a.host));
    join.findChild<QLineEdit*>(QStringLiteral("EditTeamPort"))->setText(QString::fromStdString(a.port));
    join.findChild<QLineEdit*>(QStringLiteral("EditTeamDatabase"))->setText(QString::fromStdString(a.database));
    join.findChild<QLineEdit*>(QStringLiteral("EditTeamUser"))->setText(QString::fromStdString(a.user));
    join.findChild<QLineEdit*>(QStringLiteral("EditTeamCa"))->setText(QString::fromStdString(a.caFile));
    join.findChild<QLineEdit*>(QStringLiteral("EditTeamPassword"))->setText(QString::fromStdString(password));
    join.findChild<QPushButton*>(QStringLiteral("ButtonTeamConnect"))->click();
    ASSERT_TRUE(demo::WaitFor([&] { return join.result() == QDialog::Accepted; }, 20000))
        << join.findChild<QLabel*>(QStringLiteral("LabelTeamJoinProblem"))->text().toStdString();
  }
  bool SyncedWithoutProblem() {
    return demo::WaitFor([&] { return !Team().State().syncing && Team().State().reach == TTeamState::Reach::Reachable; },
                         20000);
  }
  int RowOf(QListWidget* list, const QString& start) {
    for (int row = 0; row < list->count(); ++row) {
      if (list->item(row)->text().startsWith(start)) return row;
    }
    return -1;
  }

  std::unique_ptr<TMainWindow> window;
};

TEST_F(TeamWindowTest, JoiningBringsAColleaguesSiteWithWhoChangedItAndItsServerRecord) {
  TLaptop olga("olga-laptop", "olga");
  const sites::TSite site = olga.store->CreateSite({0, "", "Аптека на Садовой", "ООО «Здоровье»"});
  olga.store->FileSnapshot(PanelFile("1234"), "read", site.id, "2026-11-01T10:00:00.000Z");
  olga.Sync();

  TSitesDialog dialog(*window, *window->Sites());
  dialog.show();
  auto* status = dialog.findChild<QLabel*>(QStringLiteral("LabelTeamStatus"));
  EXPECT_EQ(status->text(), QStringLiteral("Сервер компании не подключён"));
  EXPECT_FALSE(dialog.findChild<QPushButton*>(QStringLiteral("ButtonTeamSync"))->isEnabled());

  JoinAs("ivan", "ivan-password");
  ASSERT_TRUE(SyncedWithoutProblem()) << Team().State().problem.toStdString();
  // The colleague's site arrives in the open list without a click.
  ASSERT_TRUE(demo::WaitFor([&] { return RowOf(dialog.SiteList(), QStringLiteral("Аптека на Садовой")) >= 0; }, 5000));
  EXPECT_TRUE(status->text().startsWith(QStringLiteral("Синхронизировано "))) << status->text().toStdString();
  EXPECT_TRUE(status->text().contains(QStringLiteral("всё отправлено; сервер доступен"))) << status->text().toStdString();

  dialog.SiteList()->setCurrentRow(RowOf(dialog.SiteList(), QStringLiteral("Аптека на Садовой")));
  // Told as the colleague's laptop recorded it: the person and the machine.
  const QString changed = dialog.findChild<QLabel*>(QStringLiteral("LabelSiteChanged"))->text();
  const sites::TFieldChange hers = olga.store->Changes(site.id).back();
  EXPECT_TRUE(changed.contains(QString::fromStdString(hers.technician))) << changed.toStdString();
  EXPECT_TRUE(changed.contains(QString::fromStdString(sites::LocalText(hers.made)))) << changed.toStdString();
  EXPECT_EQ(dialog.SnapshotTable()->rowCount(), 1);

  // An edit here goes to the server with the next sync, and shows in the log.
  dialog.findChild<QLineEdit*>(QStringLiteral("EditSiteAddress"))->setText(QStringLiteral("Садовая, 7"));
  dialog.findChild<QPushButton*>(QStringLiteral("ButtonSaveSite"))->click();
  Team().RefreshState();
  ASSERT_TRUE(demo::WaitFor([&] { return Team().State().changesWaiting == 1; }, 5000));
  EXPECT_TRUE(status->text().contains(QStringLiteral("ждут отправки: 1 изменение, 0 снимков"))) << status->text().toStdString();
  dialog.findChild<QPushButton*>(QStringLiteral("ButtonTeamSync"))->click();
  ASSERT_TRUE(demo::WaitFor([&] { return !Team().State().syncing && Team().State().changesWaiting == 0; }, 20000));
  olga.Sync();
  EXPECT_EQ(olga.store->SiteByUid(site.uid)->address, "Садовая, 7");

  TSiteLogDialog log(Team(), QString::fromStdString(site.uid), QStringLiteral("Аптека на Садовой"), &dialog);
  ASSERT_TRUE(demo::WaitFor([&] { return log.Table()->rowCount() >= 2; }, 20000))
      << log.findChild<QLabel*>(QStringLiteral("LabelSiteLogState"))->text().toStdString();
  bool ivansEdit = false;
  for (int row = 0; row < log.Table()->rowCount(); ++row) {
    ivansEdit |= log.Table()->item(row, 5)->text() == QStringLiteral("ivan") &&
                 log.Table()->item(row, 4)->text() == QStringLiteral("Садовая, 7");
  }
  EXPECT_TRUE(ivansEdit);

  // Both change the customer: the colleague's value shows in red beside this
  // one, and «Взять это значение» ends it on every laptop.
  sites::TSite hersNow = *olga.store->SiteByUid(site.uid);
  hersNow.changed.clear();
  hersNow.customer = "ООО «Здоровье плюс»";
  olga.store->UpdateSite(hersNow);
  olga.Sync();
  dialog.findChild<QLineEdit*>(QStringLiteral("EditSiteCustomer"))->setText(QStringLiteral("ООО «Садовая»"));
  dialog.findChild<QPushButton*>(QStringLiteral("ButtonSaveSite"))->click();
  dialog.findChild<QPushButton*>(QStringLiteral("ButtonTeamSync"))->click();
  auto* conflicts = dialog.findChild<QLabel*>(QStringLiteral("LabelSiteConflicts"));
  ASSERT_TRUE(demo::WaitFor([&] { return conflicts->isVisible(); }, 20000));
  EXPECT_TRUE(conflicts->text().contains(QStringLiteral("ООО «Здоровье плюс»"))) << conflicts->text().toStdString();
  QPushButton* takeHers = nullptr;
  for (QPushButton* take : dialog.findChildren<QPushButton*>(QStringLiteral("ButtonTakeValue"))) {
    for (QLabel* label : take->parentWidget()->findChildren<QLabel*>()) {
      if (label->text().contains(QStringLiteral("плюс"))) takeHers = take;
    }
  }
  ASSERT_TRUE(takeHers);
  takeHers->click();
  EXPECT_FALSE(conflicts->isVisible());
  dialog.findChild<QPushButton*>(QStringLiteral("ButtonTeamSync"))->click();
  ASSERT_TRUE(demo::WaitFor([&] { return !Team().State().syncing && Team().State().changesWaiting == 0; }, 20000));
  olga.Sync();
  const auto there = olga.store->SiteByUid(site.uid);
  EXPECT_EQ(there->customer, "ООО «Здоровье плюс»");
  EXPECT_TRUE(olga.store->Conflicts(there->id).empty());
}

TEST_F(TeamWindowTest, AServerThatIsGoneOrSilentIsToldInTheStatusLineAndDoesNotHoldTheClose) {
  // Gone: nothing listens on the port.
  TServerAddress gone = server->As("ivan");
  QTcpServer probe;
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
  gone.port = std::to_string(probe.serverPort());
  probe.close();
  SaveServerAddress(*window->Sites(), gone);
  window->Sites()->CreateSite({0, "", "Склад"});
  Team().Sync();
  ASSERT_TRUE(demo::WaitFor([&] { return !Team().State().syncing && Team().State().reach == TTeamState::Reach::Unreachable; },
                            20000));
  TSitesDialog dialog(*window, *window->Sites());
  auto* status = dialog.findChild<QLabel*>(QStringLiteral("LabelTeamStatus"));
  const int waiting = SyncStatus(*window->Sites()).changesWaiting;
  ASSERT_GT(waiting, 0);
  EXPECT_TRUE(status->text().contains(QStringLiteral("ждут отправки: %1").arg(QString::fromStdString(
                  Counted(waiting, "изменение", "изменения", "изменений")))))
      << status->text().toStdString();
  EXPECT_TRUE(status->text().endsWith(QStringLiteral("сервер недоступен"))) << status->text().toStdString();
  EXPECT_FALSE(status->toolTip().isEmpty());

  // Silent: it takes the connection and never answers. The close's last
  // sync is cut at its limit, well before the connection's own deadline.
  QTcpServer silent;
  ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
  TServerAddress quiet = gone;
  quiet.port = std::to_string(silent.serverPort());
  SaveServerAddress(*window->Sites(), quiet);
  QElapsedTimer closing;
  closing.start();
  Team().Finish(std::chrono::seconds(1));
  EXPECT_LT(closing.elapsed(), 10000);
  // Nothing was lost: the changes still wait.
  EXPECT_EQ(SyncStatus(*window->Sites()).changesWaiting, waiting);
}

TEST_F(TeamWindowTest, ASnapshotWithoutItsCodesLoadsWithTheWindowsOwnCodes) {
  // Olga's snapshot holds the codes; Ivan, of her branch, may not see them.
  TLaptop olga("olga-laptop", "olga");
  const sites::TSite site = olga.store->CreateSite({0, "", "Гараж"});
  olga.store->FileSnapshot(PanelFile("4321"), "read", site.id, "2026-11-02T09:00:00.000Z");
  olga.Sync();

  JoinAs("ivan", "ivan-password");
  ASSERT_TRUE(SyncedWithoutProblem()) << Team().State().problem.toStdString();
  const auto here = window->Sites()->SiteByUid(site.uid);
  ASSERT_TRUE(here);
  std::vector<sites::TSnapshotRecord> snapshots;
  ASSERT_TRUE(demo::WaitFor([&] { return !(snapshots = window->Sites()->Snapshots(here->id)).empty(); }, 5000));
  ASSERT_TRUE(LacksCodes(snapshots[0]));
  EXPECT_EQ(snapshots[0].content.find("4321"), std::string::npos);

  TCFG own = form->CollectedCopy();
  own.KeypadCode[0] = "9999";  // Код 1, as the window holds it
  form->ApplyRecord(own);
  TSitesDialog dialog(*window, *window->Sites());
  dialog.show();
  for (int row = 0; row < dialog.SiteList()->count(); ++row) {
    if (dialog.SiteList()->item(row)->text().startsWith(QStringLiteral("Гараж"))) dialog.SiteList()->setCurrentRow(row);
  }
  ASSERT_EQ(dialog.SnapshotTable()->rowCount(), 1);
  // The notice is a box: closed as the installer closes it.
  QTimer::singleShot(300, [] {
    if (QWidget* box = QApplication::activeModalWidget()) box->close();
  });
  dialog.LoadSnapshot();
  const TCFG loaded = form->CollectedCopy();
  EXPECT_EQ(loaded.KeypadCode[0], "9999");
  EXPECT_EQ(loaded.VpnAndId, "1700042");
}

// A Russian panel's read syncs; one the server refuses stays, named in the
// status line with its reason, and holds nothing else up.
TEST_F(TeamWindowTest, ARowTheServerRefusesIsNamedInTheStatusLineAndTheRestGoes) {
  JoinAs("ivan", "ivan-password");
  ASSERT_TRUE(SyncedWithoutProblem()) << Team().State().problem.toStdString();
  const sites::TSite site = window->Sites()->CreateSite({0, "", "Склад на Заводской"});
  TCFG real;
  real.InputName[0] = "\xd8\xeb\xe5\xe9\xf4 1";  // «Шлейф 1», as the panel holds it
  real.VpnAndId = "1700043";
  window->Sites()->FileSnapshot(FormatSettings(real), "read", site.id, "2026-11-02T10:00:00.000Z");
  TCFG huge;
  huge.AuxText1 = std::string(30000, '\xc0');
  window->Sites()->FileSnapshot(FormatSettings(huge), "read", site.id, "2026-11-02T10:05:00.000Z");

  TSitesDialog dialog(*window, *window->Sites());
  dialog.show();
  auto* status = dialog.findChild<QLabel*>(QStringLiteral("LabelTeamStatus"));
  dialog.findChild<QPushButton*>(QStringLiteral("ButtonTeamSync"))->click();
  ASSERT_TRUE(demo::WaitFor([&] { return !Team().State().syncing && Team().State().refused == 1; }, 20000))
      << status->text().toStdString();
  EXPECT_TRUE(status->text().contains(QStringLiteral("ждут отправки: 0 изменений, 1 снимок"))) << status->text().toStdString();
  EXPECT_TRUE(status->text().contains(QStringLiteral("сервер не принял 1: снимок больше, чем бывает файл настроек")))
      << status->text().toStdString();

  TLaptop olga("olga-laptop", "olga");
  olga.Sync();
  const auto there = olga.store->SiteByUid(site.uid);
  ASSERT_TRUE(there);
  const auto snapshots = olga.store->Snapshots(there->id);
  ASSERT_EQ(snapshots.size(), 1u);
  TCFG back;
  ParseSettings(snapshots[0].content, back);
  EXPECT_EQ(back.InputName[0], real.InputName[0]);
}

}  // namespace
}  // namespace zarvex::team::test

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
