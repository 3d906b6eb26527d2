#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hid/hid_device_controller.h"
#include "hid/hid_simple_loop.h"
#include "hid/virtual_hid_platform.h"

namespace zarvex::hid::test {

// Records the output reports a virtual device receives.
class RecordingBehaviour final : public VirtualDeviceBehaviour {
 public:
  void OnOutputReport(const std::vector<uint8_t>& report) override {
    std::lock_guard lock(mutex);
    reports.push_back(report);
  }
  std::vector<std::vector<uint8_t>> Reports() {
    std::lock_guard lock(mutex);
    return reports;
  }
  std::mutex mutex;
  std::vector<std::vector<uint8_t>> reports;
};

inline constexpr const char* kPanel = "ZARVEX - ZX4110";

inline void IgnoreData(THidDevice&, uint8_t, const uint8_t*, uint16_t) {}

inline VirtualDeviceSpec PanelSpec(const std::string& product = kPanel) {
  VirtualDeviceSpec profile;
  profile.productString = product;
  profile.vendorId = 0x1234;
  profile.productId = 0x5678;
  profile.versionNumber = 0x0100;
  return profile;
}

// A controller on the virtual platform, started and past its start-up scan.
class ControllerTest : public ::testing::Test {
 protected:
  void StartController() {
    controller = std::make_unique<THidDeviceController>(platform, loop);
    controller->SetOnDeviceChange([this](THidDeviceController&) { ++deviceChanges; });
    loop.ProcessPending();
  }
  // Runs the scans the platform's notifications asked for.
  void Settle() { loop.ProcessPending(); }

  VirtualHidPlatform::DeviceId PlugPanel(const std::string& product = kPanel) {
    return platform.Plug(PanelSpec(product), &behaviour);
  }
  // Starts with these panels plugged, in order, and scanned.
  template <typename... Products>
  auto StartWith(const Products&... products) {
    StartController();
    std::array<VirtualHidPlatform::DeviceId, sizeof...(Products)> ids{PlugPanel(products)...};
    Settle();
    return ids;
  }
  int IndexOf(VirtualHidPlatform::DeviceId id) const {
    for (int i = 0; i < controller->Count(); ++i)
      if (controller->At(i).DevicePath() == platform.DevicePath(id)) return i;
    return -1;
  }

  VirtualHidPlatform platform;
  THidSimpleLoop loop;
  RecordingBehaviour behaviour;
  std::unique_ptr<THidDeviceController> controller;
  int deviceChanges = 0;
};

}  // namespace zarvex::hid::test
