#include "protocol/wireless_devices.h"

#include "protocol/protocol_codes.h"
#include "settings/tcfg.h"

namespace zarvex::protocol {

namespace {
constexpr int kPerGroup = 10;
constexpr int kFlagCount = 30;

bool ValidNumber(int32_t n) { return n >= 1 && n <= kPerGroup; }

bool Paired(const std::string& flags, int character) {  // character counts from 1
  return character <= static_cast<int>(flags.size()) && flags[static_cast<size_t>(character - 1)] == '1';
}
}  // namespace

std::string TrinketsCaption(const std::string& flags) {
  std::string caption = "Брелоки: ";
  bool any = false;
  for (int n = 1; n <= kPerGroup; ++n) {
    if (!Paired(flags, n)) continue;
    if (any) caption += ", ";
    caption += std::to_string(n);
    any = true;
  }
  if (!any) caption += "пусто";
  return caption;
}

std::string SensorsCaption(const std::string& flags) {
  std::string caption = "Датчики: ";
  bool any = false;
  for (int i = kPerGroup + 1; i <= kFlagCount; ++i) {
    if (!Paired(flags, i)) continue;
    if (any) caption += ", ";
    caption += i <= 2 * kPerGroup ? "3(" : "4(";
    caption += std::to_string((i - 1) % kPerGroup + 1);
    caption += ")";
    any = true;
  }
  if (!any) caption += "пусто";
  return caption;
}

void WirelessDevices::SendCode(uint8_t command, int code) {
  link_.out.PutHeader(kClassWrite, command);
  link_.out.PutNumber(code);
  link_.SendOutReport();
}

void WirelessDevices::ButtonWriteTrinketClick(const std::string& numberText) {
  if (link_.cfg.FirmwareVersion <= kSecondModelVersion) return;
  const int32_t n = DigitsToInt(numberText);
  if (ValidNumber(n)) SendCode(cmdCodeWrite, n);
}

void WirelessDevices::ButtonDelTrinketClick(const std::string& numberText) {
  const int32_t n = DigitsToInt(numberText);
  if (ValidNumber(n)) SendCode(cmdCodeDelete, n);
}

void WirelessDevices::ButtonDelAllTrinketClick() { SendCode(cmdCodeDelete, kAllTrinkets); }

void WirelessDevices::ButtonWriteSensorClick(const std::string& numberText, bool loop3) {
  const int32_t n = DigitsToInt(numberText);
  if (ValidNumber(n)) SendCode(cmdCodeWrite, SensorCode(n, loop3));
}

void WirelessDevices::ButtonDelSensorClick(const std::string& numberText, bool loop3) {
  const int32_t n = DigitsToInt(numberText);
  if (ValidNumber(n)) SendCode(cmdCodeDelete, SensorCode(n, loop3));
}

void WirelessDevices::ButtonDelAllSensorClick() { SendCode(cmdCodeDelete, kAllSensors); }

void WirelessDevices::ButtonReadWireLessClick() {
  OutReport& out = link_.out;
  out.PutHeader(kClassQuery, cmdWirelessList);
  out[5] = kTypeNumber;
  out[6] = 4;
  link_.SendOutReport();
}

void WirelessDevices::ListReply() {
  const std::string flags = link_.in.GetText();
  link_.view.SetWirelessLabels(TrinketsCaption(flags), SensorsCaption(flags));
}

}  // namespace zarvex::protocol
