#include "hid/system_hid_platform.h"

#include "hid/linux/linux_hid_platform.h"

namespace zarvex::hid {

std::unique_ptr<THidPlatform> MakeSystemHidPlatform() { return std::make_unique<LinuxHidPlatform>(); }

}  // namespace zarvex::hid
