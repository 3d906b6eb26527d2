// CollectSettings and ShowSettings: the only place where the record's codes
// and units meet what the window shows.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <cstdint>
#include <utility>

#include "settings/tcfg.h"
#include "ui/panel_text.h"
#include "ui/tform1.h"
#include "ui_tform1.h"

namespace zarvex {
namespace {

// The factory codes that the window offers and that slot 0 always carries.
constexpr char kFactoryUserCode[] = "1234";

struct Literal {
  const char* text;
  int32_t code;
};

// In order of comparison; the order of the list items is a different one.
constexpr Literal kLoopTypes[] = {
    {"Проходной", 0}, {"Тревожный", 1}, {"Круглосуточный", 2}, {"Входной", 5}};
constexpr Literal kLoop6Types[] = {{"Проходной", 0},
                                   {"Тревожный", 1},
                                   {"Круглосуточный", 2},
                                   {"Постановка/Снятие", 4},
                                   {"Входной", 5}};
constexpr Literal kCallModes[] = {{"Стандартный", 0},
                                  {"DTMF-управление", 1},
                                  {"Без поднятия трубки", 2},
                                  {"Управление замком", 3}};

template <size_t N>
void CollectCombo(const QComboBox* combo, const Literal (&literals)[N], int32_t& field) {
  const QString text = combo->currentText();
  for (const Literal& literal : literals) {
    if (text == QString::fromUtf8(literal.text)) field = literal.code;
  }
}

template <size_t N>
void ShowCombo(QComboBox* combo, const Literal (&literals)[N], int32_t code) {
  for (const Literal& literal : literals) {
    if (literal.code == code) {
      combo->setEditText(QString::fromUtf8(literal.text));
      return;
    }
  }
}

Text EditText(const QLineEdit* edit) { return ToPanelText(edit->text()); }
void SetEditText(QLineEdit* edit, const Text& text) { edit->setText(FromPanelText(text)); }

int32_t Number(const QLineEdit* edit) { return DigitsToInt(EditText(edit)); }

// Seconds typed become seconds * 10 + 1; wraps in 32 bits like DigitsToInt.
int32_t DelayCode(const QLineEdit* edit) {
  const uint32_t seconds = static_cast<uint32_t>(Number(edit));
  return static_cast<int32_t>(seconds * 10u + 1u);
}

void ShowNumber(QLineEdit* edit, int32_t value) { edit->setText(QString::number(value)); }
void ShowDelay(QLineEdit* edit, int32_t code) { ShowNumber(edit, code / 10); }

int32_t Flag(const QCheckBox* box) { return box->isChecked() ? 1 : 0; }

}  // namespace

void TForm1::CollectSettings() {
  Ui::TForm1& u = *ui_;
  TCFG& c = cfg_;

  for (size_t i = 0; i < editPhone_.size(); ++i) c.Phone[i] = EditText(editPhone_[i]);

  c.KeypadCode0 = kFactoryUserCode;
  for (size_t i = 0; i < editKB_.size(); ++i) {
    QLineEdit* edit = editKB_[i];
    while (edit->text().size() < 4) edit->setText(QStringLiteral("0") + edit->text());
    c.KeypadCode[i] = EditText(edit);
  }

  c.AuxValue1 = 0;
  c.AuxValue2 = 0;

  c.AccessPoint = EditText(u.EditAP);
  c.AuxText1.clear();
  c.AuxText2.clear();
  c.ServerAddress = EditText(u.EditIP);
  c.ReserveAddress = EditText(u.EditIPR);
  c.AuxText3 = "1";

  c.TestPeriod = Number(u.EditReport);
  c.ArmDelay = DelayCode(u.EditAlarmWait);
  for (size_t i = 0; i < editInWait_.size(); ++i) c.InputDelay[i] = DelayCode(editInWait_[i]);

  for (size_t i = 0; i < 5; ++i) CollectCombo(cmBxIn_[i], kLoopTypes, c.InputType[i]);
  CollectCombo(cmBxIn_[5], kLoop6Types, c.InputType[5]);
  c.AuxValue4() = 3;

  for (size_t i = 0; i < chBxSirenIn_.size(); ++i) c.SirenOnInput[i] = Flag(chBxSirenIn_[i]);

  CollectCombo(u.CmBxCall, kCallModes, c.CallMode);
  c.AutonomousOff = u.ChBxAuto->isChecked() ? 0 : 1;
  c.MaxSmsPerDay = Number(u.EditMaxSMS);
  c.SirenTime = Number(u.EditSiren);
  c.LockPulse = DelayCode(u.EditUnlock);
  c.OptionFlags = Flag(u.ChBxForced);
  if (u.ChBxReportVoice->isChecked()) c.OptionFlags += 2;
  if (u.ChBxRemoteDisarm->isChecked()) c.OptionFlags += 4;
  c.AuxValue6 = 13;
  if (u.RadioButtonVizit->isChecked()) c.ReaderType = 0;
  if (u.RadioButtonWiegand->isChecked()) c.ReaderType = 1;
  if (u.RadioButtonLind7->isChecked()) c.ReaderType = 2;

  for (size_t slot = 1; slot < smsBox_.size(); ++slot) c.SmsEvents[slot] = Flag(smsBox_[slot]);
  c.SmsEvents[kOnReset] = Flag(smsBox_[kOnReset]);
  for (size_t slot = 1; slot < callBox_.size(); ++slot) c.CallEvents[slot] = Flag(callBox_[slot]);
  c.CallEvents[kOnReset] = Flag(callBox_[kOnReset]);
  BuildEventMasks(c);

  for (size_t i = 0; i < editInName_.size(); ++i) c.InputName[i] = EditText(editInName_[i]);
  c.AuxValue7 = 1;

  c.VpnAndId = u.ChBxVPN->isChecked() ? "1" : "0";
  c.VpnAndId += EditText(u.EditID);
}

void TForm1::ShowSettings() {
  Ui::TForm1& u = *ui_;
  const TCFG& c = cfg_;

  const int32_t v = c.OptionFlags;
  if (v >= 4) {
    u.ChBxRemoteDisarm->setChecked(true);
    u.ChBxForced->setChecked(v % 2 != 0);
    u.ChBxReportVoice->setChecked((v - 4) / 2 > 0);
  } else {
    u.ChBxRemoteDisarm->setChecked(false);
    u.ChBxForced->setChecked(v % 2 > 0);
    u.ChBxReportVoice->setChecked(v / 2 > 0);
  }

  for (size_t i = 0; i < editKB_.size(); ++i) SetEditText(editKB_[i], c.KeypadCode[i]);

  ShowDelay(u.EditAlarmWait, c.ArmDelay);
  ShowNumber(u.EditReport, c.TestPeriod);
  ShowDelay(u.EditUnlock, c.LockPulse);
  ShowNumber(u.EditSiren, c.SirenTime);

  if (c.ReaderType == 0) u.RadioButtonVizit->setChecked(true);
  if (c.ReaderType == 1) u.RadioButtonWiegand->setChecked(true);
  if (c.ReaderType == 2) u.RadioButtonLind7->setChecked(true);

  for (size_t i = 0; i < 5; ++i) ShowCombo(cmBxIn_[i], kLoopTypes, c.InputType[i]);
  ShowCombo(cmBxIn_[5], kLoop6Types, c.InputType[5]);

  for (size_t i = 0; i < editInWait_.size(); ++i) ShowDelay(editInWait_[i], c.InputDelay[i]);
  for (size_t i = 0; i < chBxSirenIn_.size(); ++i) {
    chBxSirenIn_[i]->setChecked(c.SirenOnInput[i] == 1);
  }

  SetEditText(u.EditAP, c.AccessPoint);
  SetEditText(u.EditIP, c.ServerAddress);
  SetEditText(u.EditIPR, c.ReserveAddress);

  ShowCombo(u.CmBxCall, kCallModes, c.CallMode);

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
  u.ChBxVPN->setChecked(!c.VpnAndId.empty() && c.VpnAndId[0] == '1');
  SetEditText(u.EditID, c.VpnAndId.empty() ? Text() : c.VpnAndId.substr(1));

  ApplyNetworkFields();
}

}  // namespace zarvex
