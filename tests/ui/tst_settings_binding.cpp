// Load, show, collect and save: the record's codes against what the window shows.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "form_fixture.h"
#include "text/panel_text.h"

using zarvex::FromPanelText;
using zarvex::ToPanelText;

namespace {

// "Дверь" and "Корпус" in Windows-1251.
const QByteArray kDoor("\xC4\xE2\xE5\xF0\xFC");
const QByteArray kCase("\xCA\xEE\xF0\xEF\xF3\xF1");

QList<QByteArray> UnusualFile() {
  return {"7", "425",
          "1111222233334444555566667777888899990000",  // 40 characters: no code 10
          "+7901234567890123", "*", "*", "*", "*", "*", "*", "+380441234567890",
          "5", "6", "internet.operator.example.apn", "x", "y", "10.0.0.1:5000",
          "10.0.0.2:5001", "9", "1440",
          "305",                                       // ArmDelay
          "0", "19", "1", "601", "65531", "21", "77",  // delays 1..6, AuxValue3
          "4", "2", "5", "0", "3", "4", "8",           // loop types 1..6, AuxValue4
          "1", "0", "2", "1", "0", "1", "9",           // sirens 1..6, AuxValue5
          "3", "2", "99999", "60", "51", "8", "0", "3",
          "0102010101010122", "1111111111111100",
          kDoor, "Window", "A very long input name", "", "Gate", "Garage", kCase,
          "0", "0ABC123"};
}

QList<QByteArray> ExpectedAfterClose() {
  return {"7", "425",
          "12342222333344445555666677778888999900000000",
          "+7901234567890123", "*", "*", "*", "*", "*", "*", "+380441234567890",
          "0", "0", "internet.operator.example.apn", "", "", "10.0.0.1:5000",
          "10.0.0.2:5001", "1", "1440",
          "301",
          "1", "11", "1", "601", "65531", "21", "77",
          "5", "2", "5", "0", "1", "4", "3",  // loop 1 kept "Входной"; 5 kept "Тревожный"
          "1", "0", "0", "1", "0", "1", "9",
          "3", "0", "99999", "60", "51", "6", "13", "2",
          "0100010101010122", "1111111111111100",
          kDoor, "Window", "A very long input name", "", "Gate", "Garage", kCase,
          "1", "0ABC123"};
}

}  // namespace

class SettingsBindingTest : public zarvex::testing::FormFixture {
  Q_OBJECT

 private slots:
  void startWithUnusualFileThenCloseWritesWhatShowAndCollectMakeOfIt() {
    WriteFile("zarvex.cfg", CrLfLines(UnusualFile()));
    MakeForm();
    QVERIFY(modal.messages.isEmpty());
    QCOMPARE(W<QLineEdit>("EditPhone1")->text(), "+7901234567890123");
    QCOMPARE(W<QLineEdit>("EditIn1Name")->text(), QString::fromUtf8("Дверь"));
    QCOMPARE(W<QLineEdit>("EditTamperName")->text(), QString::fromUtf8("Корпус"));
    QCOMPARE(W<QLineEdit>("EditKB10")->text(), "");
    QCOMPARE(W<QLineEdit>("EditAlarmWait")->text(), "30");
    QCOMPARE(W<QComboBox>("CmBxIn1")->currentText(), QString::fromUtf8("Входной"));
    QCOMPARE(W<QComboBox>("CmBxIn6")->currentText(), QString::fromUtf8("Постановка/Снятие"));
    QVERIFY(W<QRadioButton>("RadioButtonLind7")->isChecked());
    QVERIFY(W<QCheckBox>("ChBxAuto")->isChecked());
    QVERIFY(!W<QCheckBox>("ChBxVPN")->isChecked());
    QCOMPARE(W<QLineEdit>("EditID")->text(), "ABC123");
    QVERIFY(Form().close());
    QCOMPARE(ReadFile("zarvex.cfg"), CrLfLines(ExpectedAfterClose()));
    QCOMPARE(W<QLineEdit>("EditKB10")->text(), "0000");  // collect wrote the zeros back
  }

  void optionFlagsDecodeForEveryValue_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("forced");
    QTest::addColumn<bool>("voice");
    QTest::addColumn<bool>("remote");
    QTest::addColumn<int>("collected");
    QTest::newRow("-3") << -3 << false << false << false << 0;
    // Bit 0 forced arming, bit 1 voice reports, bit 2 remote disarming.
    for (int f = 0; f <= 7; ++f) {
      QTest::newRow(qPrintable(QString::number(f)))
          << f << bool(f & 1) << bool(f & 2) << bool(f & 4) << f;
    }
    QTest::newRow("8") << 8 << false << true << true << 6;
    QTest::newRow("9") << 9 << true << true << true << 7;
  }
  void optionFlagsDecodeForEveryValue() {
    QFETCH(int, flags);
    QFETCH(bool, forced);
    QFETCH(bool, voice);
    QFETCH(bool, remote);
    QFETCH(int, collected);
    MakeForm();
    Form().Cfg().OptionFlags = flags;
    Form().ShowSettings();
    QCOMPARE(W<QCheckBox>("ChBxForced")->isChecked(), forced);
    QCOMPARE(W<QCheckBox>("ChBxReportVoice")->isChecked(), voice);
    QCOMPARE(W<QCheckBox>("ChBxRemoteDisarm")->isChecked(), remote);
    Form().CollectSettings();
    QCOMPARE(Form().Cfg().OptionFlags, collected);
  }

  void delaysShowTruncatedSecondsAndCollectAsCodes() {
    MakeForm();
    auto& c = Form().Cfg();
    c.ArmDelay = 0;
    c.InputDelay[0] = 19;
    c.LockPulse = 305;
    Form().ShowSettings();
    QCOMPARE(W<QLineEdit>("EditAlarmWait")->text(), "0");
    QCOMPARE(W<QLineEdit>("EditIn1Wait")->text(), "1");
    QCOMPARE(W<QLineEdit>("EditUnlock")->text(), "30");
    W<QLineEdit>("EditIn2Wait")->setText("");
    W<QLineEdit>("EditReport")->setText("1 2x");
    Form().CollectSettings();
    QCOMPARE(c.ArmDelay, 1);
    QCOMPARE(c.InputDelay[0], 11);
    QCOMPARE(c.InputDelay[1], 1);  // no digits: the code of 0 s
    QCOMPARE(c.LockPulse, 301);
    QCOMPARE(c.TestPeriod, 12);
  }

  void keypadCodesGainLeadingZerosInRecordAndBox() {
    MakeForm();
    W<QLineEdit>("EditKB1")->setText("7");
    W<QLineEdit>("EditKB2")->setText("");
    W<QLineEdit>("EditKB3")->setText("12345");  // put there by code: kept whole
    Form().CollectSettings();
    QCOMPARE(Form().Cfg().KeypadCode[0], "0007");
    QCOMPARE(W<QLineEdit>("EditKB1")->text(), "0007");
    QCOMPARE(Form().Cfg().KeypadCode[1], "0000");
    QCOMPARE(Form().Cfg().KeypadCode[2], "12345");
    Form().Cfg().KeypadCode[3] = "5";
    Form().ShowSettings();
    QCOMPARE(W<QLineEdit>("EditKB4")->text(), "5");  // show adds no zeros
  }

  void comboBoxesBindByExactText() {
    MakeForm();
    auto& c = Form().Cfg();
    c.InputType[2] = 2;
    W<QComboBox>("CmBxIn3")->setEditText(QString::fromUtf8("Тревожный "));
    Form().CollectSettings();
    QCOMPARE(c.InputType[2], 2);  // no literal matches: field kept
    W<QComboBox>("CmBxCall")->setEditText(QString::fromUtf8("Без поднятия трубки"));
    W<QComboBox>("CmBxIn6")->setEditText(QString::fromUtf8("Постановка/Снятие"));
    W<QComboBox>("CmBxIn5")->setEditText(QString::fromUtf8("Постановка/Снятие"));
    c.InputType[4] = 1;
    Form().CollectSettings();
    QCOMPARE(c.CallMode, 2);
    QCOMPARE(c.InputType[5], 4);
    QCOMPARE(c.InputType[4], 1);  // loops 1 to 5 have no such literal
    c.CallMode = 7;
    c.InputType[0] = 3;
    Form().ShowSettings();
    QCOMPARE(W<QComboBox>("CmBxCall")->currentText(), QString::fromUtf8("Без поднятия трубки"));
    QCOMPARE(W<QComboBox>("CmBxIn1")->currentText(), QString::fromUtf8("Входной"));
  }

  void readerRadioButtonsFollowTheCode() {
    MakeForm();
    auto& c = Form().Cfg();
    c.ReaderType = 0;
    Form().ShowSettings();
    QVERIFY(W<QRadioButton>("RadioButtonVizit")->isChecked());
    QVERIFY(!W<QRadioButton>("RadioButtonLind7")->isChecked());
    c.ReaderType = 3;
    Form().ShowSettings();
    QVERIFY(W<QRadioButton>("RadioButtonVizit")->isChecked());
    Form().CollectSettings();
    QCOMPARE(c.ReaderType, 0);
  }

  void autonomousOffShowsInvertedAndCollectsNormalised() {
    MakeForm();
    auto& c = Form().Cfg();
    c.AutonomousOff = 1;
    Form().ShowSettings();
    QVERIFY(!W<QCheckBox>("ChBxAuto")->isChecked());
    c.AutonomousOff = 2;
    Form().ShowSettings();
    QVERIFY(W<QCheckBox>("ChBxAuto")->isChecked());
    Form().CollectSettings();
    QCOMPARE(c.AutonomousOff, 0);
  }

  void vpnAndIdSplitsFirstCharacterFromTheId() {
    MakeForm();
    auto& c = Form().Cfg();
    c.VpnAndId = "0123456";
    Form().ShowSettings();
    QVERIFY(!W<QCheckBox>("ChBxVPN")->isChecked());
    QCOMPARE(W<QLineEdit>("EditID")->text(), "123456");
    c.VpnAndId = "1";
    Form().ShowSettings();
    QVERIFY(W<QCheckBox>("ChBxVPN")->isChecked());
    QCOMPARE(W<QLineEdit>("EditID")->text(), "");
    c.VpnAndId.clear();
    Form().ShowSettings();
    QVERIFY(!W<QCheckBox>("ChBxVPN")->isChecked());
    QCOMPARE(W<QLineEdit>("EditID")->text(), "");
    Form().CollectSettings();
    QCOMPARE(c.VpnAndId, "0");
  }

  void sparesAndForcedFieldsAfterCollect() {
    MakeForm();
    auto& c = Form().Cfg();
    c.SmsEvents[14] = 2;
    c.CallEvents[15] = 2;
    c.SmsEvents[3] = 2;  // shows unchecked, so the next collect stores 0
    c.AuxValue3() = 42;
    c.AuxValue5() = 43;
    c.AuxValue4() = 9;
    c.AuxText1 = "a";
    c.KeypadCode0 = "9999";
    c.DeviceType = 3;
    c.FirmwareVersion = 520;
    Form().ShowSettings();
    QVERIFY(!W<QCheckBox>("ChBxSMS3")->isChecked());
    Form().CollectSettings();
    QCOMPARE(c.SmsEventMask, "1110111111111120");
    QCOMPARE(c.CallEventMask, "0111111000000002");
    QCOMPARE(c.AuxValue3(), 42);
    QCOMPARE(c.AuxValue5(), 43);
    QCOMPARE(c.AuxValue4(), 3);
    QCOMPARE(c.AuxText1, "");
    QCOMPARE(c.KeypadCode0, "1234");
    QCOMPARE(c.DeviceType, 3);
    QCOMPARE(c.FirmwareVersion, 520);
  }

  void textsCrossTheCodePageBothWays() {
    QCOMPARE(ToPanelText(QString::fromUtf8("Дверь")), kDoor.toStdString());
    QCOMPARE(FromPanelText(kCase.toStdString()), QString::fromUtf8("Корпус"));
    QCOMPARE(ToPanelText(QString::fromUtf8("Zürich 中 😀 €")), "Z?rich ? ? \x88");
    for (int b = 0; b < 256; ++b) {  // every byte survives the window
      const std::string byte(1, static_cast<char>(b));
      QCOMPARE(ToPanelText(FromPanelText(byte)), byte);
    }
    MakeForm();
    W<QLineEdit>("EditIn2Name")->setText(QString::fromUtf8("Zürich"));
    Form().CollectSettings();
    QCOMPARE(Form().Cfg().InputName[1], "Z?rich");
  }
};

QTEST_MAIN(SettingsBindingTest)
#include "tst_settings_binding.moc"
