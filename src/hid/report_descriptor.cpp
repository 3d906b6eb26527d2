#include "hid/report_descriptor.h"

#include <map>
#include <utility>
#include <vector>

namespace zarvex::hid {

namespace {

enum Kind { kInput = 0, kOutput = 1, kFeature = 2 };

struct Globals {
  uint32_t reportSize = 0;
  uint32_t reportCount = 0;
};

}  // namespace

THidReportLengths ParseReportLengths(const uint8_t* descriptor, std::size_t size) {
  THidReportLengths result;
  Globals globals;
  std::vector<Globals> stack;
  uint32_t reportId = 0;  // in force; Push/Pop leave it alone
  std::map<std::pair<int, uint32_t>, uint64_t> bits;  // (kind, report ID) -> bits

  std::size_t pos = 0;
  while (pos < size) {
    const uint8_t prefix = descriptor[pos];
    if (prefix == 0xFE) {  // long item: size byte, tag byte, data
      if (pos + 1 >= size) break;
      pos += 3 + descriptor[pos + 1];
      continue;
    }
    static constexpr std::size_t kDataSize[4] = {0, 1, 2, 4};
    const std::size_t n = kDataSize[prefix & 0x03];
    if (pos + 1 + n > size) break;
    uint32_t value = 0;  // item data is unsigned here
    for (std::size_t i = 0; i < n; ++i) value |= static_cast<uint32_t>(descriptor[pos + 1 + i]) << (8 * i);
    pos += 1 + n;

    const int type = (prefix >> 2) & 0x03;
    const int tag = prefix >> 4;
    if (type == 0) {  // main
      int kind = -1;
      if (tag == 0x8) kind = kInput;
      if (tag == 0x9) kind = kOutput;
      if (tag == 0xB) kind = kFeature;
      if (kind >= 0)
        bits[{kind, reportId}] += static_cast<uint64_t>(globals.reportSize) * globals.reportCount;
    } else if (type == 1) {  // global
      switch (tag) {
        case 0x7: globals.reportSize = value; break;
        case 0x8:
          reportId = value;
          result.usesReportIds = true;
          break;
        case 0x9: globals.reportCount = value; break;
        case 0xA: stack.push_back(globals); break;
        case 0xB:
          if (!stack.empty()) {
            globals = stack.back();
            stack.pop_back();
          }
          break;
        default: break;
      }
    }
  }

  for (const auto& [key, count] : bits) {
    const uint64_t bytes = (count + 7) / 8;
    if (bytes > 65535) continue;
    uint32_t& largest = key.first == kInput ? result.largestInput
                        : key.first == kOutput ? result.largestOutput
                                               : result.largestFeature;
    if (bytes > largest) largest = static_cast<uint32_t>(bytes);
    THidReportLengths::Report& own = result.byId[key.second];
    (key.first == kInput ? own.input : key.first == kOutput ? own.output : own.feature) =
        static_cast<uint32_t>(bytes);
  }
  return result;
}

}  // namespace zarvex::hid
