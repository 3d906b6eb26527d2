// The connection, autonomous-mode, network-fields and firmware rules after
// sequences of toggles and version replies.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "form_fixture.h"

namespace {

using zarvex::testing::kDeviceButtons;
const char* const kKeyButtons[] = {"ButtonWriteKeys", "ButtonDelKeys", "ButtonDelAllKeys",
                                   "ButtonReadKeys"};
const char* const kWirelessButtons[] = {"ButtonWriteTrinket", "ButtonDelTrinket",
                                        "ButtonDelAllTrinket", "ButtonWriteSensor",
                                        "ButtonDelSensor",     "ButtonDelAllSensor",
                                        "ButtonReadWireLess"};
const char* const kFirstModelOnly[] = {"RadioButtonVizit", "RadioButtonWiegand", "RadioButtonLind7",
                                       "CmBxIn5",          "CmBxIn6",            "EditIn5Wait",
                                       "EditIn6Wait",      "ChBxSirenIn5",       "ChBxSirenIn6"};
const char* const kLoop6AndTamper[] = {"EditIn6Name",    "ChBxSMS6",      "ChBxCall6",
                                       "EditTamperName", "ChBxTamperSMS", "ChBxTamperCall"};
const char* const kAutonomous[] = {
    "EditIn1Name",     "EditIn2Name",    "EditIn3Name",    "EditIn4Name",    "EditIn5Name",
    "EditIn6Name",     "EditTamperName", "EditMaxSMS",     "ChBxSMS1",       "ChBxSMS6",
    "ChBxTamperSMS",   "ChBxPowerOffSMS", "ChBxResetSMS",  "ChBxCall1",      "ChBxCall6",
    "ChBxTamperCall",  "ChBxPowerOnCall", "ChBxLowBatCall", "ChBxNoBatCall", "ChBxAlarmOnCall",
    "ChBxAlarmOffCall", "ChBxResetCall"};
const char* const kNetwork[] = {"ChBxVPN", "EditID", "EditAP", "EditIP", "EditIPR"};

}  // namespace

class ControlRulesTest : public zarvex::testing::FormFixture {
  Q_OBJECT

  template <size_t N>
  void ExpectEnabled(const char* const (&names)[N], bool enabled) {
    for (const char* name : names) {
      QVERIFY2(W<QWidget>(name)->isEnabled() == enabled, name);
    }
  }

  void SetVersion(int version) {
    Form().Cfg().FirmwareVersion = version;
    Form().ApplyFirmwareRules();
  }

 private slots:
  void startWithoutFileDisablesOnlyTheNetworkFields() {
    MakeForm();
    ExpectEnabled(kAutonomous, true);
    ExpectEnabled(kNetwork, false);
    QVERIFY(W<QWidget>("EditID")->isHidden());
  }

  void toggleSequencesOfAutonomousModeAndVpn() {
    MakeForm();
    auto* autonomous = W<QCheckBox>("ChBxAuto");
    auto* vpn = W<QCheckBox>("ChBxVPN");
    QTest::mouseClick(autonomous, Qt::LeftButton);
    QVERIFY(!autonomous->isChecked());
    ExpectEnabled(kAutonomous, false);
    ExpectEnabled(kNetwork, true);
    QTest::mouseClick(vpn, Qt::LeftButton);
    QVERIFY(!W<QWidget>("EditID")->isHidden());
    QVERIFY(!W<QWidget>("Label67")->isHidden());
    autonomous->setChecked(true);  // code changes run the same rules
    ExpectEnabled(kAutonomous, true);
    ExpectEnabled(kNetwork, false);
    QVERIFY(!W<QWidget>("EditID")->isHidden());  // visibility follows VPN alone
    vpn->setChecked(true);
    QVERIFY(W<QWidget>("EditID")->isHidden());
    QVERIFY(W<QWidget>("Label67")->isHidden());
    ExpectEnabled(kNetwork, false);
  }

  void showingTheRecordRunsTheClickRules() {
    MakeForm();
    Form().Cfg().AutonomousOff = 1;
    Form().Cfg().VpnAndId.assign(1, '0');  // GCC 12 -O2 warns falsely on = "0"
    Form().ShowSettings();
    ExpectEnabled(kAutonomous, false);
    ExpectEnabled(kNetwork, true);
    QVERIFY(!W<QWidget>("EditID")->isHidden());
  }

  void startWithFileAppliesAutonomousMode() {
    MakeForm();
    W<QCheckBox>("ChBxAuto")->setChecked(false);
    QVERIFY(Form().close());
    MakeForm();
    QVERIFY(!W<QCheckBox>("ChBxAuto")->isChecked());
    ExpectEnabled(kAutonomous, false);
    ExpectEnabled(kNetwork, true);
  }

  void connectThenVersionRepliesThenRemoval() {
    MakeForm();
    Form().SetDeviceButtons(true);
    ExpectEnabled(kDeviceButtons, true);

    SetVersion(499);
    ExpectEnabled(kKeyButtons, true);
    ExpectEnabled(kWirelessButtons, false);
    ExpectEnabled(kFirstModelOnly, true);
    ExpectEnabled(kLoop6AndTamper, true);

    SetVersion(500);
    ExpectEnabled(kKeyButtons, false);
    ExpectEnabled(kWirelessButtons, true);
    ExpectEnabled(kFirstModelOnly, false);
    ExpectEnabled(kLoop6AndTamper, false);
    QVERIFY(W<QWidget>("EditIn5Name")->isEnabled());

    Form().SetDeviceButtons(false);
    ExpectEnabled(kDeviceButtons, false);
    ExpectEnabled(kFirstModelOnly, false);  // kept from the last version reply
  }

  void autonomousModeReenablesLoop6AndTamperWhateverTheVersion() {
    MakeForm();
    SetVersion(520);
    W<QCheckBox>("ChBxAuto")->setChecked(false);
    W<QCheckBox>("ChBxAuto")->setChecked(true);
    ExpectEnabled(kLoop6AndTamper, true);
    ExpectEnabled(kFirstModelOnly, false);
  }

  void firstModelLeavesLoop6AndTamperAloneWhenNotAutonomous() {
    MakeForm();
    W<QCheckBox>("ChBxAuto")->setChecked(false);
    SetVersion(420);
    ExpectEnabled(kLoop6AndTamper, false);  // as rule 2 left them
    SetVersion(520);
    W<QCheckBox>("ChBxAuto")->setChecked(true);
    SetVersion(420);
    ExpectEnabled(kLoop6AndTamper, true);
  }
};

QTEST_MAIN(ControlRulesTest)
#include "tst_control_rules.moc"
