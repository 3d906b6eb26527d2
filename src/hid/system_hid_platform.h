#pragma once

#include <memory>

#include "hid/hid_platform.h"

namespace zarvex::hid {

// The system's own HID layer: hidraw on Linux, SetupApi and HID.dll on Windows.
std::unique_ptr<THidPlatform> MakeSystemHidPlatform();

}  // namespace zarvex::hid
