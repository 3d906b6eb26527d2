// The program's window with its menu bar over the whole stack and the
// simulated panel: the menu mirrors the buttons, the history keeps a
// snapshot after a read and before a write, the comparison takes values
// into the window, and the PDF report reads back as text.

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <memory>

#include "demo/session_wait.h"
#include "window_stack.h"
#include "settings/settings_format.h"
#include "ui/compare_dialog.h"
#include "ui/history_dialog.h"
#include "ui/report_dialog.h"
#include "ui/tmain_window.h"

using namespace zarvex;

class MainWindowTest : public QObject, testing::WindowStack {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(Start());
    window = std::make_unique<TMainWindow>(*form, dir.filePath(QStringLiteral("history")));
  }
  void cleanup() {
    window.reset();
    Stop();
    QDir(dir.filePath(QStringLiteral("history"))).removeRecursively();
  }

  void theClientAreaStaysAsDesignedUnderTheMenuBar() {
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(form->size(), QSize(769, 648));
    QCOMPARE(window->height(), 648 + window->menuBar()->height());
    QCOMPARE(window->menuBar()->actions().size(), 4);
  }

  void panelMenuEntriesAreEnabledExactlyWhenTheirButtonsAre() {
    const char* const names[] = {"ButtonRead", "ButtonWrite", "ButtonLoad", "Button3"};
    auto check = [&] {
      for (const char* name : names) {
        auto* button = form->findChild<QPushButton*>(QString::fromLatin1(name));
        QAction* action = window->Action(QStringLiteral("Action") + QString::fromLatin1(name));
        QVERIFY2(action, name);
        QCOMPARE(action->isEnabled(), button->isEnabled());
      }
    };
    check();
    QVERIFY(!window->Action(QStringLiteral("ActionButtonRead"))->isEnabled());
    panel->Plug(sim::PanelKind::First);
    QVERIFY(demo::WaitFor([&] { return window->Action(QStringLiteral("ActionButtonRead"))->isEnabled(); }, 5000));
    check();
    panel->Unplug();
    QVERIFY(demo::WaitFor([&] { return !window->Action(QStringLiteral("ActionButtonWrite"))->isEnabled(); }, 5000));
    check();
  }

  void aReadLeavesASnapshotAndAWriteClickOneBeforeItsFirstStep() {
    panel->Plug(sim::PanelKind::Second);
    QVERIFY(demo::WaitFor([&] { return form->Cfg().FirmwareVersion == 520; }, 5000));
    window->Action(QStringLiteral("ActionButtonRead"))->trigger();
    QVERIFY(demo::WaitFor([&] { return form->TransferText() == QStringLiteral("Конфигурация прочитана"); }, 10000));
    auto snapshots = window->History().List();
    QCOMPARE(snapshots.size(), size_t{1});
    QCOMPARE(snapshots[0].kind, report::Snapshot::Kind::Read);
    QCOMPARE(snapshots[0].firmwareVersion, 520);
    QVERIFY(QString::fromStdString(snapshots[0].path).contains(QStringLiteral("_read_zx4110_v520")));
    QCOMPARE(FormatSettings(window->History().Load(snapshots[0])), FormatSettings(form->Cfg()));

    form->findChild<QLineEdit*>(QStringLiteral("EditAlarmWait"))->setText(QStringLiteral("77"));
    const size_t sentBefore = panel->ReceivedReports().size();
    window->Action(QStringLiteral("ActionButtonWrite"))->trigger();
    QCOMPARE(panel->ReceivedReports().size(), sentBefore);  // no step has gone yet
    snapshots = window->History().List();
    QCOMPARE(snapshots.size(), size_t{2});
    QCOMPARE(snapshots[0].kind, report::Snapshot::Kind::Write);
    QCOMPARE(window->History().Load(snapshots[0]).ArmDelay, 771);
    // The write's predecessor: what the panel held before it.
    QCOMPARE(window->History().Predecessor(snapshots, snapshots[0])->path, snapshots[1].path);

    THistoryDialog history(*window);
    QCOMPARE(history.Table()->rowCount(), 2);
    QCOMPARE(history.Table()->item(0, 1)->text(), QStringLiteral("запись"));
    QVERIFY(history.Table()->item(1, 5)->text().startsWith(QStringLiteral("было на панели до записи")));
  }

  void compareListsTheDifferenceAndTakesItIntoTheWindow() {
    TCFG other = form->CollectedCopy();
    other.ArmDelay = 451;
    other.AuxValue6 = 99;  // no control
    TCompareDialog compare(*window);
    compare.CompareWith(other, QStringLiteral("файл test.cfg"));
    QCOMPARE(compare.CountText(), QStringLiteral("Отличаются 2 параметра из 56"));
    QTableWidget* table = compare.Table();
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("Задержка на постановку (сек.)"));
    QCOMPARE(table->item(0, 2)->text(), QStringLiteral("45 с  (451)"));
    QCOMPARE(table->item(1, 0)->text(), QStringLiteral("Служебное число 46"));
    qobject_cast<QPushButton*>(table->cellWidget(0, 3))->click();
    QCOMPARE(form->findChild<QLineEdit*>(QStringLiteral("EditAlarmWait"))->text(), QStringLiteral("45"));
    QCOMPARE(table->rowCount(), 1);  // the forced field stays as a collect leaves it
  }

  void thePdfReportReadsBackAsText() {
    if (QSysInfo::productType() == QStringLiteral("windows")) QSKIP("pdftotext runs on the Linux side");
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
      QFAIL("pdftotext (poppler-utils) is missing");
    }
    TReportDialog report(*window);
    report.Note()->setPlainText(QStringLiteral("Объект: склад №3"));
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    auto text = [&] {
      QString error;
      if (!report.SavePdf(pdf, error)) return error;
      QProcess p;
      p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
      p.waitForFinished();
      return QString::fromUtf8(p.readAllStandardOutput());
    };
    const QString masked = text();
    for (const char* expected : {"Отчёт о конфигурации панели Zarvex GSM", "Задержка на постановку (сек.)",
                                 "Телефон проверки состояния", "Перезагрузка", "Объект: склад №3"}) {
      QVERIFY2(masked.contains(QString::fromUtf8(expected)), expected);
    }
    const QRegularExpression hidden(QStringLiteral("Код 1\\s+\\*\\*\\*4"));
    const QRegularExpression shown(QStringLiteral("Код 1\\s+1234"));
    QVERIFY(masked.contains(hidden));
    QVERIFY(!masked.contains(shown));
    report.ShowCodes()->setChecked(true);
    QVERIFY(text().contains(shown));
  }

 private:
  std::unique_ptr<TMainWindow> window;
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
