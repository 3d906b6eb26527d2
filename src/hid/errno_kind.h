#pragma once

#include <cstdint>

#include "hid/hid_platform.h"

namespace zarvex::hid {

// errno values as the Linux and the virtual platforms report them.
THidErrorKind ClassifyErrno(uint32_t error);
uint32_t ErrnoOfKind(THidErrorKind kind);

}  // namespace zarvex::hid
