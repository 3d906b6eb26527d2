#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

namespace zarvex::hid {

struct THidReportLengths {
  bool usesReportIds = false;
  // Largest report of each kind over all report IDs, in bytes, without the
  // report ID byte; 0 where there is none. Reports over 65535 bytes are not counted.
  uint32_t largestInput = 0;
  uint32_t largestOutput = 0;
  uint32_t largestFeature = 0;
  // The same for each report ID (0 when the device numbers none).
  struct Report {
    uint32_t input = 0, output = 0, feature = 0;
  };
  std::map<uint32_t, Report> byId;

  // As the Windows capabilities count them: plus one for the report ID byte.
  uint16_t InputReportByteLength() const { return WithId(largestInput); }
  uint16_t OutputReportByteLength() const { return WithId(largestOutput); }
  uint16_t FeatureReportByteLength() const { return WithId(largestFeature); }
  // What a write of report `id` takes: that report's own length, not the
  // largest of all, when the device numbers its reports and has it; a longer
  // write would reach the device as a report of another size.
  uint16_t OutputReportByteLengthOf(uint32_t id) const {
    const auto found = byId.find(id);
    if (!usesReportIds || found == byId.end() || found->second.output == 0) return OutputReportByteLength();
    return WithId(found->second.output);
  }

 private:
  static uint16_t WithId(uint32_t n) { return n == 0 || n >= 65535 ? 0 : static_cast<uint16_t>(n + 1); }
};

// Report lengths of a HID report descriptor. Tolerates trailing garbage
// and truncated items (parsing stops there).
THidReportLengths ParseReportLengths(const uint8_t* descriptor, std::size_t size);

}  // namespace zarvex::hid
