// The four control-state rules. Each sets its controls completely from its
// inputs; the state a control shows is the one of the rule that ran last.
#include <QCheckBox>
#include <QWidget>
#include <initializer_list>

#include "ui/tform1.h"
#include "ui_tform1.h"

namespace zarvex {
namespace {

constexpr int32_t kSecondModelVersion = 500;

void SetEnabled(std::initializer_list<QWidget*> widgets, bool enabled) {
  for (QWidget* widget : widgets) widget->setEnabled(enabled);
}

}  // namespace

void TForm1::SetDeviceButtons(bool connected) {
  Ui::TForm1& u = *ui_;
  SetEnabled({u.ButtonRead, u.ButtonWrite, u.ButtonWriteKeys, u.ButtonDelKeys, u.ButtonDelAllKeys,
              u.ButtonReadKeys, u.ButtonWriteTrinket, u.ButtonDelTrinket, u.ButtonDelAllTrinket,
              u.ButtonWriteSensor, u.ButtonDelSensor, u.ButtonDelAllSensor, u.ButtonReadWireLess},
             connected);
  emit PanelConnectionChanged(connected);
}

void TForm1::ApplyAutonomousMode() {
  Ui::TForm1& u = *ui_;
  const bool autonomous = u.ChBxAuto->isChecked();
  SetEnabled({u.EditIn1Name, u.EditIn2Name, u.EditIn3Name, u.EditIn4Name, u.EditIn5Name,
              u.EditIn6Name, u.EditTamperName, u.EditMaxSMS},
             autonomous);
  SetEnabled({u.ChBxSMS1, u.ChBxSMS2, u.ChBxSMS3, u.ChBxSMS4, u.ChBxSMS5, u.ChBxSMS6,
              u.ChBxTamperSMS, u.ChBxPowerOffSMS, u.ChBxPowerOnSMS, u.ChBxLowBatSMS,
              u.ChBxNoBatSMS, u.ChBxAlarmOnSMS, u.ChBxAlarmOffSMS, u.ChBxResetSMS},
             autonomous);
  SetEnabled({u.ChBxCall1, u.ChBxCall2, u.ChBxCall3, u.ChBxCall4, u.ChBxCall5, u.ChBxCall6,
              u.ChBxTamperCall, u.ChBxPowerOffCall, u.ChBxPowerOnCall, u.ChBxLowBatCall,
              u.ChBxNoBatCall, u.ChBxAlarmOnCall, u.ChBxAlarmOffCall, u.ChBxResetCall},
             autonomous);
}

void TForm1::ApplyNetworkFields() {
  Ui::TForm1& u = *ui_;
  const std::initializer_list<QWidget*> network = {u.ChBxVPN, u.EditID, u.EditAP, u.EditIP,
                                                   u.EditIPR};
  if (!u.ChBxAuto->isChecked()) SetEnabled(network, true);
  const bool showId = !u.ChBxVPN->isChecked();
  u.EditID->setVisible(showId);
  u.Label67->setVisible(showId);
  if (u.ChBxAuto->isChecked()) SetEnabled(network, false);
}

void TForm1::ApplyFirmwareRules() {
  Ui::TForm1& u = *ui_;
  const bool firstModel = cfg_.FirmwareVersion < kSecondModelVersion;
  SetEnabled({u.RadioButtonVizit, u.RadioButtonWiegand, u.RadioButtonLind7}, firstModel);
  SetEnabled({u.CmBxIn5, u.CmBxIn6, u.EditIn5Wait, u.EditIn6Wait, u.ChBxSirenIn5, u.ChBxSirenIn6},
             firstModel);
  SetEnabled({u.ButtonWriteKeys, u.ButtonDelKeys, u.ButtonDelAllKeys, u.ButtonReadKeys},
             firstModel);
  SetEnabled({u.ButtonWriteTrinket, u.ButtonDelTrinket, u.ButtonDelAllTrinket, u.ButtonWriteSensor,
              u.ButtonDelSensor, u.ButtonDelAllSensor, u.ButtonReadWireLess},
             !firstModel);
  const std::initializer_list<QWidget*> loop6AndTamper = {
      u.EditIn6Name, u.ChBxSMS6, u.ChBxCall6, u.EditTamperName, u.ChBxTamperSMS, u.ChBxTamperCall};
  if (!firstModel) {
    SetEnabled(loop6AndTamper, false);
  } else if (u.ChBxAuto->isChecked()) {
    SetEnabled(loop6AndTamper, true);
  }
}

void TForm1::ChBxAutoClick() {
  ApplyAutonomousMode();
  ApplyNetworkFields();
}

void TForm1::ChBxVPNClick() { ApplyNetworkFields(); }

}  // namespace zarvex
