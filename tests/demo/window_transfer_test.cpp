// The window over the whole stack (controller, reading thread, device link,
// simulated panel) tells the installer how a transfer went: on the bar's
// text and in the warning beside the status.

#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "demo/session_wait.h"
#include "hid/qt/qt_main_loop.h"
#include "hid/virtual_hid_platform.h"
#include "link/panel_connection.h"
#include "sim/virtual_panel.h"
#include "ui/device_link_wiring.h"
#include "ui/tform1.h"

using namespace zarvex;

class WindowTransferTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir.isValid());
    QVERIFY(QDir::setCurrent(dir.path()));
    form = std::make_unique<TForm1>();
    platform = std::make_unique<hid::VirtualHidPlatform>();
    loop = std::make_unique<hid::TQtMainLoop>();
    panel = std::make_unique<sim::VirtualPanel>(*platform);
    connection = std::make_unique<link::TPanelConnection>(form->Cfg(), *form, *platform, *loop);
    ConnectDeviceLink(*form, *connection);
    form->FormCreate();
    panel->Plug(sim::PanelKind::First);
    QVERIFY(demo::WaitFor([this] { return form->Cfg().FirmwareVersion != 0; }, 5000));
  }
  void cleanup() {
    connection.reset();
    panel.reset();
    loop.reset();
    platform.reset();
    form.reset();
  }

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

 private:
  QTemporaryDir dir;
  std::unique_ptr<TForm1> form;
  std::unique_ptr<hid::VirtualHidPlatform> platform;
  std::unique_ptr<hid::TQtMainLoop> loop;
  std::unique_ptr<sim::VirtualPanel> panel;
  std::unique_ptr<link::TPanelConnection> connection;
};

QTEST_MAIN(WindowTransferTest)
#include "window_transfer_test.moc"
