// CollectSettings and ShowSettings: the only place where the record's codes
// and units meet what the window shows.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <cstdint>
#include <utility>

#include "settings/installer_units.h"
#include "settings/tcfg.h"
#include "text/panel_text.h"
#include "ui/tform1.h"
#include "ui_tform1.h"

namespace zarvex {
namespace {

// Bound by the exact text, not the item's position; other text keeps the field.
void CollectCombo(const QComboBox* combo, const std::vector<CodeText>& list, int32_t& field) {
  if (const auto code = CodeOfText(list, combo->currentText().toStdString())) field = *code;
}

void ShowCombo(QComboBox* combo, const std::vector<CodeText>& list, int32_t code) {
  if (const auto text = TextOfCode(list, code)) combo->setEditText(QString::fromStdString(*text));
}

Text EditText(const QLineEdit* edit) { return ToPanelText(edit->text()); }
void SetEditText(QLineEdit* edit, const Text& text) { edit->setText(FromPanelText(text)); }

int32_t Number(const QLineEdit* edit) { return DigitsToInt(EditText(edit)); }

int32_t DelayCode(const QLineEdit* edit) { return zarvex::DelayCode(Number(edit)); }

void ShowNumber(QLineEdit* edit, int32_t value) { edit->setText(QString::number(value)); }
void ShowDelay(QLineEdit* edit, int32_t code) { ShowNumber(edit, DelaySeconds(code)); }

int32_t Flag(const QCheckBox* box) { return box->isChecked() ? 1 : 0; }

}  // namespace

void TForm1::CollectSettings() {
  Ui::TForm1& u = *ui_;
  TCFG& c = cfg_;

  for (size_t i = 0; i < editPhone_.size(); ++i) c.Phone[i] = EditText(editPhone_[i]);

  for (size_t i = 0; i < editKB_.size(); ++i) {
    QLineEdit* edit = editKB_[i];
    while (edit->text().size() < 4) edit->setText(QStringLiteral("0") + edit->text());
    c.KeypadCode[i] = EditText(edit);
  }

  c.AccessPoint = EditText(u.EditAP);
  c.ServerAddress = EditText(u.EditIP);
  c.ReserveAddress = EditText(u.EditIPR);

  c.TestPeriod = Number(u.EditReport);
  c.ArmDelay = DelayCode(u.EditAlarmWait);
  for (size_t i = 0; i < editInWait_.size(); ++i) c.InputDelay[i] = DelayCode(editInWait_[i]);

  for (size_t i = 0; i < cmBxIn_.size(); ++i) {
    CollectCombo(cmBxIn_[i], LoopTypes(static_cast<int>(i) + 1), c.InputType[i]);
  }

  for (size_t i = 0; i < chBxSirenIn_.size(); ++i) c.SirenOnInput[i] = Flag(chBxSirenIn_[i]);

  CollectCombo(u.CmBxCall, CallModes(), c.CallMode);
  c.AutonomousOff = u.ChBxAuto->isChecked() ? 0 : 1;
  c.MaxSmsPerDay = Number(u.EditMaxSMS);
  c.SirenTime = Number(u.EditSiren);
  c.LockPulse = DelayCode(u.EditUnlock);
  c.OptionFlags = FlagsOf({u.ChBxForced->isChecked(), u.ChBxReportVoice->isChecked(),
                           u.ChBxRemoteDisarm->isChecked()});
  if (u.RadioButtonVizit->isChecked()) c.ReaderType = 0;
  if (u.RadioButtonWiegand->isChecked()) c.ReaderType = 1;
  if (u.RadioButtonLind7->isChecked()) c.ReaderType = 2;

  for (size_t slot = 1; slot < smsBox_.size(); ++slot) c.SmsEvents[slot] = Flag(smsBox_[slot]);
  c.SmsEvents[kOnReset] = Flag(smsBox_[kOnReset]);
  for (size_t slot = 1; slot < callBox_.size(); ++slot) c.CallEvents[slot] = Flag(callBox_[slot]);
  c.CallEvents[kOnReset] = Flag(callBox_[kOnReset]);
  BuildEventMasks(c);

  for (size_t i = 0; i < editInName_.size(); ++i) c.InputName[i] = EditText(editInName_[i]);

  c.VpnAndId = Text(1, u.ChBxVPN->isChecked() ? '1' : '0') + EditText(u.EditID);

  ApplyCollectRules(c);
}

void TForm1::ShowSettings() {
  Ui::TForm1& u = *ui_;
  const TCFG& c = cfg_;

  const Options options = OptionsOf(c.OptionFlags);
  u.ChBxRemoteDisarm->setChecked(options.remoteDisarm);
  u.ChBxForced->setChecked(options.forced);
  u.ChBxReportVoice->setChecked(options.voiceReport);

  for (size_t i = 0; i < editKB_.size(); ++i) SetEditText(editKB_[i], c.KeypadCode[i]);

  ShowDelay(u.EditAlarmWait, c.ArmDelay);
  ShowNumber(u.EditReport, c.TestPeriod);
  ShowDelay(u.EditUnlock, c.LockPulse);
  ShowNumber(u.EditSiren, c.SirenTime);

  if (c.ReaderType == 0) u.RadioButtonVizit->setChecked(true);
  if (c.ReaderType == 1) u.RadioButtonWiegand->setChecked(true);
  if (c.ReaderType == 2) u.RadioButtonLind7->setChecked(true);

  for (size_t i = 0; i < cmBxIn_.size(); ++i) {
    ShowCombo(cmBxIn_[i], LoopTypes(static_cast<int>(i) + 1), c.InputType[i]);
  }

  for (size_t i = 0; i < editInWait_.size(); ++i) ShowDelay(editInWait_[i], c.InputDelay[i]);
  for (size_t i = 0; i < chBxSirenIn_.size(); ++i) {
    chBxSirenIn_[i]->setChecked(c.SirenOnInput[i] == 1);
  }

  SetEditText(u.EditAP, c.AccessPoint);
  SetEditText(u.EditIP, c.ServerAddress);
  SetEditText(u.EditIPR, c.ReserveAddress);

  ShowCombo(u.CmBxCall, CallModes(), c.CallMode);

  u.ChBxAuto->setChecked(c.AutonomousOff != 1);

  for (size_t i = 0; i < editInName_.size(); ++i) SetEditText(editInName_[i], c.InputName[i]);
  ShowNumber(u.EditMaxSMS, c.MaxSmsPerDay);

  for (size_t slot = 0; slot < smsBox_.size(); ++slot) {
    smsBox_[slot]->setChecked(c.SmsEvents[slot] == 1);
  }
  for (size_t slot = 0; slot < callBox_.size(); ++slot) {
    callBox_[slot]->setChecked(c.CallEvents[slot] == 1);
  }

  for (size_t i = 0; i < editPhone_.size(); ++i) SetEditText(editPhone_[i], c.Phone[i]);

  // An empty record (no file line, no reply) shows VPN off and no ID.
  u.ChBxVPN->setChecked(VpnOf(c));
  SetEditText(u.EditID, IdOf(c));

  ApplyNetworkFields();
}

}  // namespace zarvex
