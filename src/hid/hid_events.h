#pragma once

#include <cstdint>
#include <functional>

namespace zarvex::hid {

class THidDevice;
class THidDeviceController;

// Offered by EnumerateDevices; idx is the device's list index. Return true to go on.
using THidEnumerateEvent = std::function<bool(THidDevice& hidDev, int idx)>;
using THidPlugEvent = std::function<void(THidDevice& hidDev)>;
// data points at the report bytes after the report ID; valid only during the call.
using THidDataEvent = std::function<void(THidDevice& hidDev, uint8_t reportId, const uint8_t* data, uint16_t size)>;
using THidDataErrorEvent = std::function<void(THidDevice& hidDev, uint32_t error)>;
using THidNotifyEvent = std::function<void(THidDeviceController& controller)>;
// The text to show when device-change handling failed and was switched off.
using THidChangeFailureEvent = std::function<void(const char* message)>;

}  // namespace zarvex::hid
