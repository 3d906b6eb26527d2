#pragma once
// The panel's side of the report frame. Written apart from the host's framing
// code on purpose: a mistake in one then shows up against the other.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zarvex::sim {

// A HID report as it travels, report ID byte first.
using Report = std::vector<uint8_t>;

inline constexpr std::size_t kReportLength = 65;  // report ID + 64 bytes
inline constexpr uint8_t kReportId = 1;
inline constexpr uint8_t kFrameMark = 0xDC;
inline constexpr uint8_t kHostToPanel = 0xED;
inline constexpr uint8_t kPanelToHost = 0xEE;

inline constexpr uint8_t kClassQuery = 0x20;
inline constexpr uint8_t kClassWrite = 0x10;
inline constexpr uint8_t kTypeNumber = 3;
inline constexpr uint8_t kTypeText = 4;

inline constexpr uint8_t kKindValue = 0;
inline constexpr uint8_t kKindAcknowledgement = 1;

inline constexpr uint8_t kCodeDeviceType = 200;
inline constexpr uint8_t kCodeFirmwareVersion = 201;
inline constexpr uint8_t kCodeWirelessList = 202;
inline constexpr uint8_t kCodeSaved = 203;
inline constexpr uint8_t kCodeWrite = 230;
inline constexpr uint8_t kCodeDelete = 231;
inline constexpr uint8_t kCodeKeyList = 232;
inline constexpr uint8_t kCodeKeyListEnd = 236;
inline constexpr uint8_t kCodeKeyRecord = 237;

// Bytes of the input frame that can carry a value (bytes 6 to 64).
inline constexpr std::size_t kMaxReplyText = kReportLength - 6;

using KeyBytes = std::array<uint8_t, 8>;

// An output report of the host, taken apart. Only reports with the frame mark
// and the host's direction byte become a request.
struct HostRequest {
  uint8_t messageClass = 0;
  uint8_t code = 0;
  uint8_t valueType = 0;
  uint8_t valueLength = 0;
  // Filled by the value type: bytes 7-10 big-endian, or the text of
  // byte 6 characters from byte 7 (cut to the bytes the report really has).
  std::optional<int32_t> number;
  std::optional<std::string> text;
};

std::optional<HostRequest> ParseHostReport(const Report& report);

Report ValueReport(uint8_t code, int32_t number);
Report TextReport(uint8_t code, const std::string& text);
Report Acknowledgement(uint8_t code);
Report KeyRecordReport(int position, const KeyBytes& key);

}  // namespace zarvex::sim
