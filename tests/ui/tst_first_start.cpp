// A first start without a settings file, and the window as designed.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "form_fixture.h"

using zarvex::TCFG;

class FirstStartTest : public zarvex::testing::FormFixture {
  Q_OBJECT

 private slots:
  void firstStartYieldsTheDesignValuesFieldByField() {
    const TCFG& c = MakeForm().Cfg();
    QCOMPARE(c.KeypadCode0, "1234");
    for (int i = 0; i < 8; ++i) QCOMPARE(c.Phone[i], "*");
    for (int i = 0; i < 9; ++i) QCOMPARE(c.KeypadCode[i], "1234");
    QCOMPARE(c.KeypadCode[9], "0000");
    QCOMPARE(c.AuxValue1, 0);
    QCOMPARE(c.AuxValue2, 0);
    QCOMPARE(c.AccessPoint, "internet");
    QCOMPARE(c.AuxText1, "");
    QCOMPARE(c.AuxText2, "");
    QCOMPARE(c.ServerAddress, "0.0.0.0");
    QCOMPARE(c.ReserveAddress, "0.0.0.0");
    QCOMPARE(c.AuxText3, "1");
    QCOMPARE(c.TestPeriod, 720);
    QCOMPARE(c.ArmDelay, 301);
    const int32_t delays[7] = {301, 1, 1, 1, 1, 1, 0};
    const int32_t types[7] = {5, 0, 1, 1, 1, 1, 3};
    for (int i = 0; i < 7; ++i) {
      QCOMPARE(c.InputDelay[i], delays[i]);
      QCOMPARE(c.InputType[i], types[i]);
      QCOMPARE(c.SirenOnInput[i], i < 6 ? 1 : 0);
    }
    QCOMPARE(c.CallMode, 0);
    QCOMPARE(c.AutonomousOff, 0);
    QCOMPARE(c.MaxSmsPerDay, 30);
    QCOMPARE(c.SirenTime, 120);
    QCOMPARE(c.LockPulse, 11);
    QCOMPARE(c.OptionFlags, 2);
    QCOMPARE(c.AuxValue6, 13);
    QCOMPARE(c.ReaderType, 2);
    QCOMPARE(c.SmsEventMask, "1111111111111100");
    QCOMPARE(c.CallEventMask, "0111111000000000");
    for (int slot = 0; slot < 16; ++slot) {
      QCOMPARE(c.SmsEvents[slot], slot < 14 ? 1 : 0);
      QCOMPARE(c.CallEvents[slot], slot >= 1 && slot <= 6 ? 1 : 0);
    }
    for (int i = 0; i < 6; ++i) QCOMPARE(c.InputName[i], "Alarm Input" + std::to_string(i + 1));
    QCOMPARE(c.TamperName(), "Tamper");
    QCOMPARE(c.AuxValue7, 1);
    QCOMPARE(c.VpnAndId, "1123456");
    QCOMPARE(c.DeviceType, 0);
    QCOMPARE(c.FirmwareVersion, 0);
  }

  void closingWritesTheFirstStartFile() {
    MakeForm();
    QVERIFY(!QFile::exists("zarvex.cfg"));
    QVERIFY(Form().close());
    const QList<QByteArray> lines = ReadFile("zarvex.cfg").split('\n');
    QCOMPARE(lines.size(), 62);  // 61 lines, each ending in CR LF
    QCOMPARE(lines[2], "12341234123412341234123412341234123412340000\r");
    QCOMPARE(lines[20], "301\r");
    QCOMPARE(lines[60], "1123456\r");
    QVERIFY(modal.messages.isEmpty());
  }

  void windowIsFixedAndPlacedAsDesigned() {
    MakeForm();
    QCOMPARE(Form().windowTitle(), "Zarvex Settings 3.0.8");
    QCOMPARE(Form().size(), QSize(769, 648));
    QCOMPARE(Form().minimumSize(), Form().maximumSize());
    QCOMPARE(Form().pos(), QPoint(199, 119));
    QVERIFY(!(Form().windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(Form().windowFlags() & Qt::WindowMinimizeButtonHint);
  }

  void pagesStandInTheirOrder() {
    MakeForm();
    auto* pages = W<QTabWidget>("PageControl1");
    const char* names[] = {"TabSheetMain", "TabSheetIn",  "TabSheetGSM",     "TabSheetAuto",
                           "TabSheetKB",   "TabSheetKey", "TabSheetWireless"};
    const char* titles[] = {"Основные свойства", "Конфигурация входов", "Настройки GSM",
                            "Автономный режим",  "Клавиатура",          "Ключи",
                            "Беспроводные датчики и брелоки"};
    QCOMPARE(pages->count(), 7);
    QCOMPARE(pages->currentIndex(), 0);
    for (int i = 0; i < 7; ++i) {
      QCOMPARE(pages->widget(i)->objectName(), names[i]);
      QCOMPARE(pages->tabText(i), QString::fromUtf8(titles[i]));
    }
  }

  void designStatesBeforeAnyPanel() {
    MakeForm();
    for (const char* name : zarvex::testing::kDeviceButtons) {
      QVERIFY2(!W<QPushButton>(name)->isEnabled(), name);
    }
    QVERIFY(W<QPushButton>("ButtonLoad")->isEnabled());
    QVERIFY(W<QPushButton>("Button3")->isEnabled());
    QVERIFY(W<QPlainTextEdit>("Memo")->isHidden());
    QVERIFY(W<QLineEdit>("EditID")->isHidden());
    QVERIFY(W<QWidget>("Label67")->isHidden());
    QCOMPARE(W<QLineEdit>("EditFileName")->text(), "zarvex.cfg");
    QCOMPARE(W<QLineEdit>("EditLabMin")->text(), "1");
    QCOMPARE(W<QLineEdit>("EditLabMax")->text(), "3");
    auto* bar = W<QProgressBar>("ProgressBar");
    QCOMPARE(bar->minimum(), 1);
    QCOMPARE(bar->maximum(), 56);
    QCOMPARE(bar->value(), 1);
    auto* timer = Form().findChild<QTimer*>("Timer");
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 10);
    QCOMPARE(W<QComboBox>("CmBxIn6")->count(), 5);
    QCOMPARE(W<QComboBox>("CmBxIn5")->count(), 4);
    QVERIFY(W<QComboBox>("CmBxCall")->isEditable());
  }

  void timerTickAndDeviceButtonsReachTheirHandlers() {
    MakeForm(false);
    QStringList calls;
    Form().Handlers().StartUp = [&] { calls << "StartUp"; };
    Form().Handlers().TimerTimer = [&] { calls << "TimerTimer"; };
    Form().Handlers().ButtonReadWireLessClick = [&] { calls << "ButtonReadWireLessClick"; };
    Form().FormCreate();
    QCOMPARE(calls, QStringList{"StartUp"});
    Form().SetDeviceButtons(true);
    QTest::mouseClick(W<QPushButton>("ButtonReadWireLess"), Qt::LeftButton);
    QTRY_VERIFY(calls.contains("TimerTimer"));
    QVERIFY(calls.contains("ButtonReadWireLessClick"));
    Form().SetTimerRunning(false);
    QVERIFY(!Form().findChild<QTimer*>("Timer")->isActive());
  }
};

QTEST_MAIN(FirstStartTest)
#include "tst_first_start.moc"
