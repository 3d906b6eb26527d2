#pragma once

#include <string>

#include "protocol/link_context.h"

namespace zarvex::protocol {

// Key fobs and wireless sensors of the second model. Every command is one
// report sent at once with the device code as a number.
class WirelessDevices {
 public:
  explicit WirelessDevices(LinkContext& link) : link_(link) {}

  // Number boxes are read with DigitsToInt; outside 1..10 sends nothing.
  void ButtonWriteTrinketClick(const std::string& numberText);  // needs firmware above 500
  void ButtonDelTrinketClick(const std::string& numberText);
  void ButtonDelAllTrinketClick();
  void ButtonWriteSensorClick(const std::string& numberText, bool loop3);
  void ButtonDelSensorClick(const std::string& numberText, bool loop3);
  void ButtonDelAllSensorClick();
  void ButtonReadWireLessClick();

  // Presence text in InReport: 30 flags, '1' paired. Characters missing from
  // a short reply count as not paired.
  void ListReply();

  // Device codes.
  static constexpr int kAllTrinkets = 11;
  static constexpr int kAllSensors = 50;
  static int SensorCode(int number, bool loop3) { return (loop3 ? 29 : 39) + number; }

 private:
  void SendCode(uint8_t command, int code);

  LinkContext& link_;
};

// The two label captions for a presence text, e.g. "Брелоки: 1, 4" and
// "Датчики: 4(2)"; "пусто" after a prefix with nothing paired.
std::string TrinketsCaption(const std::string& flags);
std::string SensorsCaption(const std::string& flags);

}  // namespace zarvex::protocol
