#include "hid/system_hid_platform.h"

#include "hid/windows/windows_hid_platform.h"

namespace zarvex::hid {

std::unique_ptr<THidPlatform> MakeSystemHidPlatform() { return std::make_unique<WindowsHidPlatform>(); }

}  // namespace zarvex::hid
