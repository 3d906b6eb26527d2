#include "fake_device_bus.h"

#include <algorithm>

namespace zarvex::protocol::testing {

bool FakePort::WriteReport(const uint8_t* data, int length) {
  device_->written.emplace_back(data, data + length);
  return true;
}

int FakeDeviceBus::EnumerateDevices() {
  // A copy, so a handler that changes the list cannot break the walk.
  const auto listed = devices;
  for (size_t i = 0; i < listed.size(); ++i) {
    if (onEnumerate && !onEnumerate(*listed[i], static_cast<int>(i))) break;
  }
  return static_cast<int>(listed.size());
}

std::unique_ptr<PanelPort> FakeDeviceBus::CheckOutAt(int index) {
  if (index < 0 || static_cast<size_t>(index) >= devices.size()) return nullptr;
  const auto& device = devices[static_cast<size_t>(index)];
  if (device->lent) return nullptr;
  device->lent = true;
  ++device->checkOuts;
  return std::make_unique<FakePort>(device);
}

FakeDevice& FakeDeviceBus::Plug(const std::string& product) {
  devices.push_back(std::make_shared<FakeDevice>(product));
  auto& device = *devices.back();
  device.path = "/dev/hidraw" + std::to_string(devices.size() - 1);
  return device;
}

void FakeDeviceBus::Remove(FakeDevice& device) {
  for (auto it = devices.begin(); it != devices.end(); ++it) {
    if (it->get() != &device) continue;
    unplugged.push_back(*it);
    devices.erase(it);
    return;
  }
}

}  // namespace zarvex::protocol::testing
