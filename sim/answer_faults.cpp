#include "answer_faults.h"

namespace zarvex::sim {

Report Shortened(const Report& report, std::size_t length) {
  Report result = report;
  if (result.size() > length) result.resize(length);
  return result;
}

Report Lengthened(const Report& report, std::size_t length) {
  Report result = report;
  // A filler other than zero, so that reading past 65 bytes cannot go unseen.
  if (result.size() < length) result.resize(length, 0xA5);
  return result;
}

Report Malformed(const Report& report, Malformation malformation) {
  Report result = report;
  if (result.size() < 4) result.resize(4, 0);
  switch (malformation) {
    case Malformation::WrongMark:
      result[1] = 0xCD;
      break;
    case Malformation::WrongDirection:
      result[2] = kHostToPanel;
      break;
    case Malformation::UnknownKind:
      result[3] = 2;
      break;
  }
  return result;
}

}  // namespace zarvex::sim
