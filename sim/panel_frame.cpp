#include "panel_frame.h"

#include <algorithm>

namespace zarvex::sim {

namespace {

Report ReplyHeader(uint8_t kind, uint8_t code) {
  Report report(kReportLength, 0);
  report[0] = kReportId;
  report[1] = kFrameMark;
  report[2] = kPanelToHost;
  report[3] = kind;
  report[4] = code;
  return report;
}

}  // namespace

std::optional<HostRequest> ParseHostReport(const Report& report) {
  // Report ID, mark, direction, class, code, type and length must all be there.
  if (report.size() < 7 || report[0] != kReportId || report[1] != kFrameMark ||
      report[2] != kHostToPanel) {
    return std::nullopt;
  }
  HostRequest request;
  request.messageClass = report[3];
  request.code = report[4];
  request.valueType = report[5];
  request.valueLength = report[6];
  if (request.valueType == kTypeNumber && report.size() >= 11) {
    const uint32_t value = (uint32_t{report[7]} << 24) | (uint32_t{report[8]} << 16) |
                           (uint32_t{report[9]} << 8) | uint32_t{report[10]};
    request.number = static_cast<int32_t>(value);
  } else if (request.valueType == kTypeText) {
    // A length byte larger than the report cannot be trusted past its end.
    const std::size_t available = report.size() - 7;
    const std::size_t length = std::min<std::size_t>(request.valueLength, available);
    request.text = std::string(report.begin() + 7, report.begin() + 7 + static_cast<std::ptrdiff_t>(length));
  }
  return request;
}

Report ValueReport(uint8_t code, int32_t number) {
  Report report = ReplyHeader(kKindValue, code);
  const auto value = static_cast<uint32_t>(number);
  report[5] = 4;
  report[6] = static_cast<uint8_t>(value >> 24);
  report[7] = static_cast<uint8_t>(value >> 16);
  report[8] = static_cast<uint8_t>(value >> 8);
  report[9] = static_cast<uint8_t>(value);
  return report;
}

Report TextReport(uint8_t code, const std::string& text) {
  Report report = ReplyHeader(kKindValue, code);
  const std::size_t length = std::min(text.size(), kMaxReplyText);
  report[5] = static_cast<uint8_t>(length);
  std::copy_n(text.begin(), length, report.begin() + 6);
  return report;
}

Report Acknowledgement(uint8_t code) { return ReplyHeader(kKindAcknowledgement, code); }

Report KeyRecordReport(int position, const KeyBytes& key) {
  Report report = ReplyHeader(kKindValue, kCodeKeyRecord);
  report[5] = static_cast<uint8_t>(position >> 8);
  report[6] = static_cast<uint8_t>(position);
  std::copy(key.begin(), key.end(), report.begin() + 7);
  return report;
}

}  // namespace zarvex::sim
