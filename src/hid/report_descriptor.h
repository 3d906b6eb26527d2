#pragma once

#include <cstddef>
#include <cstdint>

namespace zarvex::hid {

struct THidReportLengths {
  bool usesReportIds = false;
  // Largest report of each kind over all report IDs, in bytes, without the
  // report ID byte; 0 where there is none. Reports over 65535 bytes are not counted.
  uint32_t largestInput = 0;
  uint32_t largestOutput = 0;
  uint32_t largestFeature = 0;

  // As the Windows capabilities count them: plus one for the report ID byte.
  uint16_t InputReportByteLength() const { return WithId(largestInput); }
  uint16_t OutputReportByteLength() const { return WithId(largestOutput); }
  uint16_t FeatureReportByteLength() const { return WithId(largestFeature); }

 private:
  static uint16_t WithId(uint32_t n) { return n == 0 || n >= 65535 ? 0 : static_cast<uint16_t>(n + 1); }
};

// Report lengths of a HID report descriptor. Tolerates trailing garbage
// and truncated items (parsing stops there).
THidReportLengths ParseReportLengths(const uint8_t* descriptor, std::size_t size);

}  // namespace zarvex::hid
