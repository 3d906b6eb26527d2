// What the window tells the installer must be true: numbers it cannot send
// whole are neither typed nor written, a cut file is told, factory values ask
// first and keep what they replace, and the compare against the last read
// counts only what a write would change.

#include <QAction>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <fstream>
#include <memory>

#include "../ui/scripted_modal_ui.h"
#include "demo/session_wait.h"
#include "settings/installer_units.h"
#include "settings/settings_file.h"
#include "settings/settings_format.h"
#include "ui/compare_dialog.h"
#include "ui/history_dialog.h"
#include "ui/tmain_window.h"
#include "window_stack.h"

using namespace zarvex;

class WindowTruthTest : public QObject, testing::WindowStack {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(Start());
    form->SetModalUi(modal);
    window = std::make_unique<TMainWindow>(*form, dir.filePath(QStringLiteral("history")));
  }
  void cleanup() {
    window.reset();
    Stop();
    modal = {};
  }

  void numberBoxesTakeOnlyWhatAWriteSendsWhole() {
    auto* delay = Edit("EditAlarmWait");
    delay->clear();
    QTest::keyClicks(delay, QStringLiteral("65541"));
    QCOMPARE(delay->text(), QStringLiteral("6551"));  // the 4 of 6554 was refused
    delay->clear();
    QTest::keyClicks(delay, QStringLiteral("6553"));
    QCOMPARE(delay->text(), QStringLiteral("6553"));
    auto* test = Edit("EditReport");
    test->clear();
    QTest::keyClicks(test, QStringLiteral("65536"));
    QCOMPARE(test->text(), QStringLiteral("6553"));
    test->clear();
    QTest::keyClicks(test, QStringLiteral("65535"));
    QCOMPARE(test->text(), QStringLiteral("65535"));
    // What could be typed before still can: stray characters are skipped by
    // a collect, as they always were.
    test->clear();
    QTest::keyClicks(test, QStringLiteral("12 min"));
    QCOMPARE(test->text(), QStringLiteral("12 min"));
  }

  void aValueFromAFileThatCannotBeWrittenStopsTheWriteAndOpensItsPage() {
    panel->Plug(sim::PanelKind::First);
    QVERIFY(demo::WaitFor([&] { return form->Cfg().FirmwareVersion == 430; }, 5000));
    TCFG big = form->CollectedCopy();
    big.InputDelay[3] = DelayCode(7000);
    form->ApplyRecord(big);
    QCOMPARE(Edit("EditIn4Wait")->text(), QStringLiteral("7000"));  // a file's value is shown as it is
    const size_t sent = panel->ReceivedReports().size();
    window->Action(QStringLiteral("ActionButtonWrite"))->trigger();
    QCOMPARE(modal.messages.size(), 1);
    QVERIFY2(modal.messages[0].contains(QStringLiteral("«Задержка входа 4 (сек.)» на странице "
                                                       "«Конфигурация входов»: 7000")),
             qPrintable(modal.messages[0]));
    auto* pages = form->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    QCOMPARE(pages->tabText(pages->currentIndex()), QStringLiteral("Конфигурация входов"));
    QTest::qWait(50);
    QCOMPARE(panel->ReceivedReports().size(), sent);
    QVERIFY(window->History().List().empty());  // no write snapshot either
  }

  void aCutFileIsToldWithoutADialogInTheWay() {
    const QString cut = dir.filePath(QStringLiteral("cut.cfg"));
    const std::string whole = FormatSettings(form->Cfg());
    size_t end = 0;
    for (int line = 0; line < 12; ++line) end = whole.find('\n', end) + 1;
    std::ofstream(cut.toStdString(), std::ios::binary) << whole.substr(0, end);
    modal.nextFileNames.enqueue(cut);
    form->ButtonLoadClick();
    auto* box = window->findChild<QMessageBox*>(QStringLiteral("ShortFileWarning"));
    if (!box) box = form->findChild<QMessageBox*>(QStringLiteral("ShortFileWarning"));
    QVERIFY(box);
    QVERIFY(!box->isModal());
    QVERIFY2(box->text().startsWith(QStringLiteral("В файле 12 строк из 61: недостающие значения "
                                                   "взяты пустыми")),
             qPrintable(box->text()));
    // A whole file says nothing.
    delete box;
    const QString complete = dir.filePath(QStringLiteral("whole.cfg"));
    SaveSettingsFile(complete.toStdString(), form->Cfg());
    modal.nextFileNames.enqueue(complete);
    form->ButtonLoadClick();
    QVERIFY(!form->findChild<QMessageBox*>(QStringLiteral("ShortFileWarning")));
  }

  void factoryValuesAskFirstAndKeepWhatTheyReplace() {
    Edit("EditAP")->setText(QStringLiteral("site.apn"));
    QAction* factory = window->Action(QStringLiteral("ActionFactory"));
    factory->trigger();  // the script answers No
    QCOMPARE(modal.questions, QStringList{QStringLiteral("Заменить значения в окне заводскими?")});
    QCOMPARE(Edit("EditAP")->text(), QStringLiteral("site.apn"));
    QVERIFY(window->History().List().empty());

    modal.nextAnswers.enqueue(true);
    factory->trigger();
    QVERIFY(Edit("EditAP")->text() != QStringLiteral("site.apn"));
    const auto snapshots = window->History().List();
    QCOMPARE(snapshots.size(), size_t{1});
    QCOMPARE(snapshots[0].kind, report::Snapshot::Kind::Reset);
    QCOMPARE(window->History().Load(snapshots[0]).AccessPoint, Text("site.apn"));
    THistoryDialog history(*window);
    QCOMPARE(history.Table()->item(0, 1)->text(), QStringLiteral("до сброса"));

    factory->trigger();  // already the factory values: no question
    QCOMPARE(modal.questions.size(), 2);
  }

  void theCompareWithTheLastReadCountsOnlyWhatAWriteWouldChange() {
    panel->Plug(sim::PanelKind::First, 430);
    QVERIFY(demo::WaitFor([&] { return form->Cfg().FirmwareVersion == 430; }, 5000));
    window->Action(QStringLiteral("ActionButtonRead"))->trigger();
    QVERIFY(demo::WaitFor([&] { return form->TransferText() == QStringLiteral("Конфигурация прочитана"); }, 10000));
    // VPN/ID do not travel to a 430 panel.
    Edit("EditID")->setText(QStringLiteral("654321"));
    TCompareDialog compare(*window);
    compare.ChooseLastRead();
    QCOMPARE(compare.CountText(), QStringLiteral("Отличаются 0 параметров из 56"));
    Edit("EditAP")->setText(QStringLiteral("other.apn"));
    compare.ChooseLastRead();
    QCOMPARE(compare.CountText(), QStringLiteral("Отличается 1 параметр из 56"));
  }

  void verifyAfterWriteReadsBackAndSaysWhatItFound() {
    QAction* verify = window->Action(QStringLiteral("ActionVerifyAfterWrite"));
    QVERIFY(verify && verify->isCheckable());
    verify->setChecked(true);
    panel->Plug(sim::PanelKind::First, 430);
    QVERIFY(demo::WaitFor([&] { return form->Cfg().FirmwareVersion == 430; }, 5000));
    Edit("EditAP")->setText(QStringLiteral("verify.apn"));
    window->Action(QStringLiteral("ActionButtonWrite"))->trigger();
    bool sawVerifyProgress = false;
    const bool verified = demo::WaitFor(
        [&] {
          sawVerifyProgress |= form->TransferText().startsWith(QStringLiteral("Проверка: "));
          return form->TransferText() == QStringLiteral("Конфигурация записана и проверена");
        },
        20000);
    QVERIFY2(verified, qPrintable(form->TransferText()));
    QVERIFY(sawVerifyProgress);
    QCOMPARE(window->History().List().front().kind, report::Snapshot::Kind::Read);

    // A worn cell: the panel acknowledges the access point but keeps its own.
    panel->KeepParameter(10);
    Edit("EditAP")->setText(QStringLiteral("other.apn"));
    window->Action(QStringLiteral("ActionButtonWrite"))->trigger();
    const QString mismatch = QStringLiteral("Проверка: панель хранит не то, что записано (1 параметр)");
    QVERIFY2(demo::WaitFor([&] { return form->TransferText() == mismatch; }, 20000),
             qPrintable(form->TransferText()));
    QVERIFY(window->findChild<QMessageBox*>(QStringLiteral("VerifyMismatch")));
    QVERIFY(window->LastVerify());
    QCOMPARE(window->LastVerify()->first.AccessPoint, Text("other.apn"));
    QCOMPARE(window->LastVerify()->second.AccessPoint, Text("verify.apn"));
    verify->setChecked(false);  // remembered between starts: leave it as found
  }

  void withoutVerifyAWriteEndsAsWritten() {
    QVERIFY(!window->Action(QStringLiteral("ActionVerifyAfterWrite"))->isChecked());
    panel->Plug(sim::PanelKind::First, 430);
    QVERIFY(demo::WaitFor([&] { return form->Cfg().FirmwareVersion == 430; }, 5000));
    window->Action(QStringLiteral("ActionButtonWrite"))->trigger();
    QVERIFY(demo::WaitFor([&] { return form->TransferText() == QStringLiteral("Конфигурация записана"); }, 20000));
    QTest::qWait(300);
    QCOMPARE(form->TransferText(), QStringLiteral("Конфигурация записана"));
  }

  // After a write, listing keys starts the link's own read: the bar's text
  // names it, and whenever the text counts parameters the fill shows that
  // count, never the link's step.
  void theBarsFillAgreesWithItsTextAfterAKeyListing() {
    panel->Plug(sim::PanelKind::First, 430);
    panel->WithModel([](sim::PanelModel& m) {
      for (int k = 1; k <= 5; ++k) m.Keys().Put(k * 3, {1, 2, 3, 4, 5, 6, 7, static_cast<uint8_t>(k)});
    });
    QVERIFY(demo::WaitFor([&] { return form->Cfg().FirmwareVersion == 430; }, 5000));
    auto* bar = form->findChild<QProgressBar*>(QStringLiteral("ProgressBar"));
    QStringList disagreements, texts;
    auto agrees = [&] {
      const QString text = form->TransferText();
      if (texts.isEmpty() || texts.back() != text) texts << text;
      const QRegularExpressionMatch counted =
          QRegularExpression(QStringLiteral("(\\d+) из 56$")).match(text);
      int expected = -1;
      if (counted.hasMatch()) expected = std::max(counted.captured(1).toInt(), bar->minimum());
      if (text.startsWith(QStringLiteral("Конфигурация"))) expected = bar->maximum();
      if (expected >= 0 && bar->value() != expected) {
        disagreements << text + QStringLiteral(" / ") + QString::number(bar->value());
      }
    };
    window->Action(QStringLiteral("ActionButtonWrite"))->trigger();
    QVERIFY(demo::WaitFor([&] { agrees(); return form->TransferText() == QStringLiteral("Конфигурация записана"); }, 20000));
    form->findChild<QPushButton*>(QStringLiteral("ButtonReadKeys"))->click();
    QVERIFY(demo::WaitFor([&] {
      agrees();
      return form->TransferText().startsWith(QStringLiteral("Чтение после записи прервано"));
    }, 20000));
    QVERIFY2(disagreements.isEmpty(), qPrintable(disagreements.join(QStringLiteral("; "))));
    QVERIFY2(!texts.join(QLatin1Char(';')).contains(QStringLiteral("Чтение: ")),
             qPrintable(texts.join(QStringLiteral("; "))));
    QCOMPARE(form->findChild<QTableWidget*>(QStringLiteral("KeyGrid2"))->rowCount(), 6);
  }

 private:
  QLineEdit* Edit(const char* name) { return form->findChild<QLineEdit*>(QString::fromLatin1(name)); }

  testing::ScriptedModalUi modal;
  std::unique_ptr<TMainWindow> window;
};

QTEST_MAIN(WindowTruthTest)
#include "window_truth_test.moc"
