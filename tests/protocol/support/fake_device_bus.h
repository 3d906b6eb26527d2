#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "protocol/device_bus.h"

namespace zarvex::protocol::testing {

using Report = std::vector<uint8_t>;

// One plugged HID device with a scripted product string; it records every
// report written to it through a port.
class FakeDevice : public OfferedDevice {
 public:
  explicit FakeDevice(std::string product) : product(std::move(product)) {}
  std::string ProductString() override { return product; }
  const void* Identity() const override { return this; }

  std::string product;
  std::string path = "/dev/hidraw0";
  int outputLength = 65;
  bool readWrite = true;
  bool heldElsewhere = false;
  bool lent = false;
  int checkOuts = 0;
  std::vector<Report> written;
};

// A checked-out device; destroying it checks the device in.
class FakePort : public PanelPort {
 public:
  explicit FakePort(std::shared_ptr<FakeDevice> device) : device_(std::move(device)) {}
  ~FakePort() override { device_->lent = false; }
  const void* Identity() const override { return device_.get(); }
  int OutputReportByteLength() override { return device_->outputLength; }
  bool WriteReport(const uint8_t* data, int length) override {
    device_->written.emplace_back(data, data + length);
    return true;
  }
  bool ReadWriteAccess() const override { return device_->readWrite && !device_->heldElsewhere; }
  bool HeldByAnotherProgram() const override { return device_->heldElsewhere; }
  std::string DevicePath() const override { return device_->path; }

 private:
  std::shared_ptr<FakeDevice> device_;
};

// The controller's list of plugged devices. EnumerateDevices offers them in
// order to onEnumerate while it returns true.
class FakeDeviceBus : public DeviceBus {
 public:
  int EnumerateDevices() override {
    // A copy, so a handler that changes the list cannot break the walk.
    const auto listed = devices;
    for (size_t i = 0; i < listed.size(); ++i) {
      if (onEnumerate && !onEnumerate(*listed[i], static_cast<int>(i))) break;
    }
    return static_cast<int>(listed.size());
  }
  std::unique_ptr<PanelPort> CheckOutAt(int index) override {
    if (index < 0 || static_cast<size_t>(index) >= devices.size()) return nullptr;
    const auto& device = devices[static_cast<size_t>(index)];
    if (device->lent) return nullptr;
    device->lent = true;
    ++device->checkOuts;
    return std::make_unique<FakePort>(device);
  }

  FakeDevice& Plug(const std::string& product) {
    devices.push_back(std::make_shared<FakeDevice>(product));
    devices.back()->path = "/dev/hidraw" + std::to_string(devices.size() - 1);
    return *devices.back();
  }
  // Takes the device off the list; it stays alive in `unplugged` so a test
  // can still look at what was written to it.
  void Remove(FakeDevice& device) {
    const auto it = std::find_if(devices.begin(), devices.end(),
                                 [&](const auto& d) { return d.get() == &device; });
    if (it == devices.end()) return;
    unplugged.push_back(*it);
    devices.erase(it);
  }

  std::function<bool(OfferedDevice&, int)> onEnumerate;
  std::vector<std::shared_ptr<FakeDevice>> devices;
  std::vector<std::shared_ptr<FakeDevice>> unplugged;
};

}  // namespace zarvex::protocol::testing
