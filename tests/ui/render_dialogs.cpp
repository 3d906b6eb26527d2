// Renders the menu bar window, its "Файл" menu and the history, compare,
// report and site dialogs to PNGs, so that a person can look at them:
//   render_dialogs <output directory>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>

#include "settings/settings_format.h"
#include "sites/sqlite_db.h"
#include "ui/compare_dialog.h"
#include "ui/filing_prompt.h"
#include "team/team_sync.h"
#include "ui/site_log_dialog.h"
#include "ui/sites_dialog.h"
#include "ui/team_join_dialog.h"
#include "ui/team_worker.h"
#include "ui/history_dialog.h"
#include "ui/report_dialog.h"
#include "ui/tform1.h"
#include "ui/tmain_window.h"

namespace {
bool Save(QWidget& widget, const QString& file) {
  QApplication::processEvents();
  if (!widget.grab().save(file)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    return false;
  }
  std::printf("%s\n", qPrintable(file));
  return true;
}
}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
    return 2;
  }
  const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  QDir().mkpath(out);
  QApplication::setFont(zarvex::TForm1::WindowFont());
  QTemporaryDir work;
  QDir::setCurrent(work.path());

  zarvex::TForm1 form;
  form.FormCreate();
  zarvex::TMainWindow window(form, work.filePath(QStringLiteral("history")));
  window.show();
  // A read an hour ago, then a write with a longer arming delay.
  zarvex::TCFG before = form.CollectedCopy();
  before.FirmwareVersion = 430;
  window.History().Store(zarvex::report::Snapshot::Kind::Read, before, std::time(nullptr) - 3600);
  zarvex::TCFG written = before;
  written.ArmDelay = 451;
  written.Phone[1] = "+79001234567";
  window.History().Store(zarvex::report::Snapshot::Kind::Write, written, std::time(nullptr) - 3500);

  bool ok = Save(window, out + QStringLiteral("/main-window.png"));
  QMenu* file = window.menuBar()->actions().at(0)->menu();
  file->popup(window.mapToGlobal(QPoint(0, window.menuBar()->height())));
  ok &= Save(*file, out + QStringLiteral("/menu-file.png"));
  file->hide();

  zarvex::THistoryDialog history(window);
  history.show();
  ok &= Save(history, out + QStringLiteral("/history-dialog.png"));
  zarvex::TCompareDialog compare(window);
  compare.CompareWith(written, QStringLiteral("снимок (запись)"));
  compare.show();
  ok &= Save(compare, out + QStringLiteral("/compare-dialog.png"));
  zarvex::TReportDialog report(window);
  report.show();
  ok &= Save(report, out + QStringLiteral("/report-dialog.png"));

  if (zarvex::sites::TSiteStore* store = window.Sites()) {
    const auto shop = store->CreateSite({0, "", "Склад №3 (ООО «Северный ветер»)", "ООО «Северный ветер»",
                                         "г. Вологда, ул. Преображенского, 28, корп. 2", "+7 921 555-01-02",
                                         "Ключ от щитка у охраны, код двери 1234"});
    store->CreateSite({0, "", "Гараж Ёлкина", "Ёлкин П. С.", "СНТ «Берёзка», участок 12"});
    store->CreateSite({0, "", "Дача Петровых", "Петрова А. В.", "д. Озёрки"});
    zarvex::TCFG panel = before;
    panel.VpnAndId = "1654321";
    panel.Phone[0] = "+79005550001";
    panel.Phone[7] = "+79005550002";
    store->FileSnapshot(zarvex::FormatSettings(panel), "read", shop.id, "2026-12-01T09:00:00.000Z");
    store->FileSnapshot(zarvex::FormatSettings(written), "written", shop.id, "2026-12-01T09:05:00.000Z");
    store->FileSnapshot(zarvex::FormatSettings(written), "verify", shop.id, "2026-12-01T09:05:02.000Z");
    zarvex::TSitesDialog sites(window, *store);
    sites.show();
    sites.SiteList()->setCurrentRow(3);
    ok &= Save(sites, out + QStringLiteral("/sites-dialog.png"));
    {
      // A save while another program writes: told on the page, made once it lets go.
      zarvex::sites::TDatabase other(store->Path(), zarvex::sites::TDatabase::Mode::OpenOrCreate);
      other.Exec("BEGIN IMMEDIATE");
      sites.findChild<QPushButton*>(QStringLiteral("ButtonSaveSite"))->click();
      ok &= Save(sites, out + QStringLiteral("/sites-save-waiting.png"));
      other.Exec("ROLLBACK");
      QElapsedTimer saving;
      saving.start();
      while (sites.SaveWaiting() && saving.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    const auto filed = store->FileSnapshot(zarvex::FormatSettings(panel), "read", std::nullopt);
    zarvex::TFilingPrompt prompt(&window, *store, filed, zarvex::sites::IdentityOf(panel),
                                 store->Match(zarvex::sites::IdentityOf(panel)));
    prompt.setAttribute(Qt::WA_DeleteOnClose, false);
    prompt.show();
    ok &= Save(prompt, out + QStringLiteral("/filing-prompt.png"));

    // The company's server, joined but out of reach (nothing listens there).
    zarvex::TTeamWorker& team = *window.Team();
    zarvex::team::TServerAddress away;
    away.host = "127.0.0.1";
    away.port = "9";
    away.database = "zarvex";
    away.user = "ivanov";
    away.caFile = "/home/ivanov/company-ca.crt";
    zarvex::team::SaveServerAddress(*store, away);
    team.Sync();
    QElapsedTimer waited;
    waited.start();
    while ((team.State().syncing || team.State().reach == zarvex::TTeamState::Reach::Unknown) && waited.elapsed() < 20000) {
      QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    zarvex::TSitesDialog offline(window, *store);
    offline.show();
    offline.SiteList()->setCurrentRow(3);
    ok &= Save(offline, out + QStringLiteral("/sites-team-offline.png"));
    zarvex::TTeamJoinDialog join(team, &window);
    join.show();
    ok &= Save(join, out + QStringLiteral("/team-join-dialog.png"));
    zarvex::TSiteLogDialog log(team, QString::fromStdString(shop.uid), QString::fromStdString(shop.name), &window);
    log.show();
    waited.restart();
    while (waited.elapsed() < 3000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    // As a reachable server answers it (the worker gives the fields the page's words).
    emit team.LogReady(QString::fromStdString(shop.uid),
                       {{QStringLiteral("2026-12-01 12:05:00"), QStringLiteral("Иванов И. И."),
                         QStringLiteral("LAPTOP-IVANOV"), QStringLiteral("адрес"),
                         QStringLiteral("г. Вологда, ул. Преображенского, 28, корп. 2"), QStringLiteral("ivanov")},
                        {QStringLiteral("2026-12-02 08:40:12"), QStringLiteral("Смирнова О. А."),
                         QStringLiteral("NB-SMIRNOVA"), QStringLiteral("телефоны"), QStringLiteral("+7 921 555-01-02"),
                         QStringLiteral("smirnova")}},
                       QString());
    ok &= Save(log, out + QStringLiteral("/site-log-dialog.png"));
  } else {
    std::fprintf(stderr, "no site database: %s\n", qPrintable(window.SitesProblem()));
    ok = false;
  }
  return ok ? 0 : 1;
}
