#pragma once

#include <string>
#include <vector>

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
  // Plug and identify, then the tick after which the link is at rest.
  FakeDevice& Connect(int32_t version);

  // Bytes [from, to) of an output report, and the text it carries.
  static Report Bytes(const Report& r, long from, long to);
  // The progress positions from..to, one per step.
  static std::vector<int> Positions(int from, int to);
  static std::string TextSent(const Report& r);

  TCFG cfg;
  FakePanelView view;
  FakeDeviceBus bus;
  DeviceLink link{cfg, view, bus};
};

}  // namespace zarvex::protocol::testing
