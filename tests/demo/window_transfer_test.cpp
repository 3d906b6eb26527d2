// The window over the whole stack (controller, reading thread, device link,
// simulated panel) tells the installer how a transfer went: on the bar's
// text and in the warning beside the status.

#include <QLabel>
#include <QProgressBar>
#include <QTest>

#include "demo/session_wait.h"
#include "window_stack.h"

using namespace zarvex;

class WindowTransferTest : public QObject, testing::WindowStack {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(Start());
    panel->Plug(sim::PanelKind::First);
    QVERIFY(demo::WaitFor([this] { return form->Cfg().FirmwareVersion != 0; }, 5000));
  }
  void cleanup() { Stop(); }

  void completeWriteSaysWrittenWithoutWarning() {
    form->ButtonWriteClick();
    QVERIFY(demo::WaitFor([this] { return form->TransferText() == "Конфигурация записана"; }, 10000));
    QCOMPARE(form->TransferWarning(), QString());
    QVERIFY(form->ProgressSmooth());
  }

  void writeCutByUnplugIsShownInterruptedAndWarned() {
    panel->UnplugAfterRequests(21);  // steps 1..20 written, then the cable goes
    form->ButtonWriteClick();
    QVERIFY(demo::WaitFor([this] { return !connection->Link().PanelHeld(); }, 10000));
    QCOMPARE(form->TransferText(), QString("Запись прервана: записано 20 из 56"));
    QCOMPARE(form->TransferWarning(), QString("Конфигурация записана не полностью"));
    QVERIFY(form->findChild<QLabel*>("LabelTransferWarning")->isVisible() ||
            !form->isVisible());

    panel->Replug();
    QVERIFY(demo::WaitFor([this] { return connection->Link().PanelHeld(); }, 5000));
    QCOMPARE(form->TransferWarning(), QString());
  }

  void silentPanelIsShownInRedAfterASecondAndCarriesOnWhenItAnswers() {
    form->ButtonReadClick();
    QVERIFY(demo::WaitFor([this] { return form->TransferText().startsWith("Чтение: 5 "); }, 5000));
    panel->HoldNextAnswer();
    QVERIFY(demo::WaitFor(
        [this] { return form->TransferText().startsWith("Панель не отвечает (параметр "); },
        3000));
    QCOMPARE(form->TransferWarning(), QString("Конфигурация прочитана не полностью"));
    panel->ReleaseHeldAnswers();
    QVERIFY(demo::WaitFor([this] { return form->TransferText() == "Конфигурация прочитана"; }, 10000));
    QCOMPARE(form->TransferWarning(), QString());
  }

};

QTEST_MAIN(WindowTransferTest)
#include "window_transfer_test.moc"
