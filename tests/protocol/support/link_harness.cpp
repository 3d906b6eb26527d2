#include "link_harness.h"

#include "panel_replies.h"

namespace zarvex::protocol::testing {

LinkHarness::LinkHarness() {
  bus.onEnumerate = [this](OfferedDevice& device, int i) { return link.HIDEnumerate(device, i); };
  link.StartupInit();
  link.ResetKeyGrid();
}

FakeDevice& LinkHarness::Plug(const std::string& product) {
  FakeDevice& device = bus.Plug(product);
  link.HIDDeviceChange();
  return device;
}

void LinkHarness::Unplug(FakeDevice& device) {
  link.HIDRemoval(device);
  bus.Remove(device);
  link.HIDDeviceChange();
}

void LinkHarness::Feed(FakeDevice& device, const Report& report) {
  link.HIDDeviceData(device, 1, report.data(), static_cast<int>(report.size()));
}

void LinkHarness::Identify(FakeDevice& device, int32_t version, int32_t type) {
  link.TimerTimer();
  Feed(device, ValueNumber(200, type));
  link.TimerTimer();
  Feed(device, ValueNumber(201, version));
}

FakeDevice& LinkHarness::Connect(int32_t version) {
  FakeDevice& panel = Plug();
  Identify(panel, version);
  link.TimerTimer();
  return panel;
}

Report LinkHarness::Bytes(const Report& r, long from, long to) {
  return Report(r.begin() + from, r.begin() + to);
}

std::string LinkHarness::TextSent(const Report& r) {
  return std::string(r.begin() + 7, r.begin() + 7 + r[6]);
}

std::vector<int> LinkHarness::Positions(int from, int to) {
  std::vector<int> positions;
  for (int n = from; n <= to; ++n) positions.push_back(n);
  return positions;
}

}  // namespace zarvex::protocol::testing
