#pragma once

#include <string>

#include "fake_device_bus.h"
#include "fake_panel_view.h"
#include "protocol/device_link.h"
#include "settings/tcfg.h"

namespace zarvex::protocol::testing {

// A device link wired to a fake window and a fake controller, started up
// as the window's creation handler does.
struct LinkHarness {
  LinkHarness();

  // Plugs a device and runs the scan that follows a device-list change.
  FakeDevice& Plug(const std::string& product = "ZARVEX - ZX4110");
  // Removal event, then the scan that follows it.
  void Unplug(FakeDevice& device);
  void Feed(FakeDevice& device, const Report& report);
  // Type and version exchange after a connect.
  void Identify(FakeDevice& device, int32_t version, int32_t type = 1);
  // The last report written to the device.
  const Report& LastWritten(const FakeDevice& device) const { return device.written.back(); }

  TCFG cfg;
  FakePanelView view;
  FakeDeviceBus bus;
  DeviceLink link{cfg, view, bus};
};

}  // namespace zarvex::protocol::testing
