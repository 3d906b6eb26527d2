#pragma once

#include <array>
#include <cstdint>

#include "settings/tcfg.h"

namespace zarvex::protocol {

// How a configuration parameter travels. The read and the write both walk
// this one table, so the two directions cannot drift apart.
enum class ParameterKind {
  KeypadCodes,  // 1: the eleven four-character codes as one text
  Text,
  Number,
  EventSlots,   // 48, 49: read as 16 slot bytes, written as the mask text
};

struct Parameter {
  ParameterKind kind;
  Text& (*text)(TCFG&) = nullptr;                             // Text
  int32_t& (*number)(TCFG&) = nullptr;                        // Number
  std::array<int32_t, kEventSlots>& (*slots)(TCFG&) = nullptr;  // EventSlots
  Text& (*mask)(TCFG&) = nullptr;                             // EventSlots
};

// The panel exchanges VpnAndId as parameter 55 only in autonomous-off mode on
// firmware 441..499; everywhere else parameter 55 is InputName6.
bool Parameter55IsVpnAndId(const TCFG& cfg);

// Parameters 1..56; null for any other number.
const Parameter* ParameterAt(int number);

}  // namespace zarvex::protocol
