// The report-descriptor parser reads bytes that come from the device.
#include <cstdint>
#include <cstdlib>

#include "hid/report_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const zarvex::hid::THidReportLengths lengths = zarvex::hid::ParseReportLengths(data, size);
  // A length with its report ID byte is never shorter than the report.
  const uint16_t input = lengths.InputReportByteLength();
  if (input != 0 && input != lengths.largestInput + 1) std::abort();
  const uint16_t output = lengths.OutputReportByteLength();
  if (output != 0 && output != lengths.largestOutput + 1) std::abort();
  return 0;
}
