#pragma once

#include <functional>
#include <memory>

#include "hid/hid_device_controller.h"
#include "protocol/device_bus.h"
#include "protocol/device_link.h"
#include "protocol/panel_view.h"
#include "settings/tcfg.h"

namespace zarvex::link {

// The HID controller as the device link sees it.
class THidDeviceBus final : public protocol::DeviceBus {
 public:
  explicit THidDeviceBus(hid::THidDeviceController& controller) : controller_(controller) {}
  int EnumerateDevices() override;
  std::unique_ptr<protocol::PanelPort> CheckOutAt(int index) override;

 private:
  hid::THidDeviceController& controller_;
};

// One HID device as the link sees it; the same identity whether offered or
// held, and never shared with another device object (addresses can be).
const void* DeviceIdentity(const hid::THidDevice& device);

// A device offered by the controller (scan, removal, input report).
class TOfferedHidDevice final : public protocol::OfferedDevice {
 public:
  explicit TOfferedHidDevice(hid::THidDevice& device) : device_(device) {}
  std::string ProductString() override { return device_.ProductString(); }
  const void* Identity() const override { return DeviceIdentity(device_); }

 private:
  hid::THidDevice& device_;
};

// The controller, the link and the wiring between them: the controller's
// four events go to the link's handlers. The platform and the loop must
// outlive it. Construction posts the controller's start-up scan.
class TPanelConnection {
 public:
  TPanelConnection(TCFG& cfg, protocol::PanelView& view, hid::THidPlatform& platform,
                   hid::THidMainLoop& loop);
  ~TPanelConnection();
  TPanelConnection(const TPanelConnection&) = delete;
  TPanelConnection& operator=(const TPanelConnection&) = delete;

  protocol::DeviceLink& Link() { return *link_; }
  // Offers the link only the devices this accepts (a program told which node
  // to use); unset, every device is offered, as the window has it.
  void SetDeviceFilter(std::function<bool(const hid::THidDevice&)> accept) {
    accept_ = std::move(accept);
  }
  hid::THidDeviceController& Controller() { return controller_; }

 private:
  hid::THidDeviceController controller_;
  THidDeviceBus bus_;
  std::function<bool(const hid::THidDevice&)> accept_;
  // Destroyed first, so a held panel is checked in while its controller lives.
  std::unique_ptr<protocol::DeviceLink> link_;
};

}  // namespace zarvex::link
