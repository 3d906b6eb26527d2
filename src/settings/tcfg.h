#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zarvex {

// Texts hold the panel's single-byte characters (Windows-1251 for Cyrillic);
// nothing in this layer decodes them.
using Text = std::string;

// Slot numbers of SmsEvents and CallEvents.
enum EventSlot : int {
  kOnReset = 0,
  kOnInput1 = 1,  // loops 1..6 are slots 1..6
  kOnTamper = 7,
  kOnPowerOff = 8,
  kOnPowerOn = 9,
  kOnLowBattery = 10,
  kOnNoBattery = 11,
  kOnArm = 12,
  kOnDisarm = 13,
  // 14 and 15 are spare: no control, carried unchanged.
  kEventSlots = 16,
};

// The configuration of one panel in the panel's own encodings: delays as
// seconds * 10 + 1, event slots as 0/1, loop/call/reader codes.
// Arrays count from 0: Phone[0] is Phone1, KeypadCode[9] is KeypadCode10.
// The grouped arrays of eight keep their seventh entry for the auxiliary
// value (or the tamper name) and never use the eighth.
struct TCFG {
  Text KeypadCode0;
  std::array<Text, 8> Phone;
  std::array<Text, 10> KeypadCode;
  int32_t AuxValue1 = 0;
  int32_t AuxValue2 = 0;
  Text AccessPoint;
  Text AuxText1;
  Text AuxText2;
  Text ServerAddress;
  Text ReserveAddress;
  Text AuxText3;
  int32_t TestPeriod = 0;
  int32_t ArmDelay = 0;
  std::array<int32_t, 8> InputDelay{};    // [6] is AuxValue3
  std::array<int32_t, 8> InputType{};     // [6] is AuxValue4
  std::array<int32_t, 8> SirenOnInput{};  // [6] is AuxValue5
  int32_t CallMode = 0;
  int32_t AutonomousOff = 0;
  int32_t MaxSmsPerDay = 0;
  int32_t SirenTime = 0;
  int32_t LockPulse = 0;
  int32_t OptionFlags = 0;
  int32_t AuxValue6 = 0;
  int32_t ReaderType = 0;
  std::array<int32_t, kEventSlots> SmsEvents{};
  Text SmsEventMask;
  std::array<int32_t, kEventSlots> CallEvents{};
  Text CallEventMask;
  std::array<Text, 8> InputName;  // [6] is TamperName
  int32_t AuxValue7 = 0;
  Text VpnAndId;
  int32_t DeviceType = 0;
  int32_t FirmwareVersion = 0;

  int32_t& AuxValue3() { return InputDelay[6]; }
  int32_t& AuxValue4() { return InputType[6]; }
  int32_t& AuxValue5() { return SirenOnInput[6]; }
  Text& TamperName() { return InputName[6]; }
  const int32_t& AuxValue3() const { return InputDelay[6]; }
  const int32_t& AuxValue4() const { return InputType[6]; }
  const int32_t& AuxValue5() const { return SirenOnInput[6]; }
  const Text& TamperName() const { return InputName[6]; }

  bool operator==(const TCFG&) const = default;
};

// The number made of the decimal digits of `text`; every other character is
// skipped, there is no sign, and the value wraps around in 32 bits.
int32_t DigitsToInt(const Text& text);

// Rebuilds both 16-character masks from the event slots.
void BuildEventMasks(TCFG& cfg);

// Sets all 16 slots of both arrays from the masks; a slot beyond the end of a
// short mask gets 0.
void SplitEventMasks(TCFG& cfg);

}  // namespace zarvex
