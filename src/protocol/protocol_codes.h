#pragma once

#include <cstdint>

namespace zarvex::protocol {

// Frame marks and message classes of the panel's reports (report ID 1).
inline constexpr uint8_t kReportId = 1;
inline constexpr uint8_t kFrameMark = 0xDC;
inline constexpr uint8_t kToPanel = 0xED;
inline constexpr uint8_t kFromPanel = 0xEE;
inline constexpr uint8_t kClassQuery = 0x20;
inline constexpr uint8_t kClassWrite = 0x10;
inline constexpr uint8_t kTypeNumber = 3;
inline constexpr uint8_t kTypeText = 4;
inline constexpr uint8_t kKindValue = 0;
inline constexpr uint8_t kKindAck = 1;

// Codes in byte 4 beside the parameter numbers 1..56.
inline constexpr int kParameterCount = 56;
inline constexpr uint8_t cmdDeviceType = 200;
inline constexpr uint8_t cmdFirmwareVersion = 201;
inline constexpr uint8_t cmdWirelessList = 202;
inline constexpr uint8_t rplCodeSaved = 203;
inline constexpr uint8_t cmdCodeWrite = 230;
inline constexpr uint8_t cmdCodeDelete = 231;
inline constexpr uint8_t cmdKeyList = 232;
inline constexpr uint8_t rplKeyListEnd = 236;
inline constexpr uint8_t rplKeyRecord = 237;

// The second model starts at this firmware version.
inline constexpr int32_t kSecondModelVersion = 500;

}  // namespace zarvex::protocol
