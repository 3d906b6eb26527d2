#pragma once
// Faults the simulated panel can put on its answers, and builders of the
// damaged reports a real link may deliver.

#include <cstddef>
#include <cstdint>

#include "panel_frame.h"

namespace zarvex::sim {

enum class Malformation {
  WrongMark,       // byte 1 is not 0xDC
  WrongDirection,  // byte 2 is the host's 0xED instead of 0xEE
  UnknownKind,     // byte 3 is neither 0 (value) nor 1 (acknowledgement)
};

// One fault, used up by the next request that has an answer.
struct AnswerFault {
  enum class Kind { Drop, Hold, OtherParameter, Shorten, Lengthen, Malform };
  Kind kind = Kind::Drop;
  int parameter = 0;        // OtherParameter
  std::size_t length = 0;   // Shorten / Lengthen: total length incl. report ID
  Malformation malformation = Malformation::WrongMark;
};

// The first `length` bytes of the report (report ID included).
Report Shortened(const Report& report, std::size_t length);
// The report followed by 0xA5 filler up to `length` bytes.
Report Lengthened(const Report& report, std::size_t length);
Report Malformed(const Report& report, Malformation malformation);

}  // namespace zarvex::sim
