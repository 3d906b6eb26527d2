// Time from an input report entering the virtual HID layer to its handler
// running on the main thread, and the time of one scan over 50 devices.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "hid/hid_device_controller.h"
#include "hid/hid_simple_loop.h"
#include "hid/virtual_hid_platform.h"

using namespace zarvex::hid;
using Clock = std::chrono::steady_clock;

namespace {

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const std::size_t i = std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
  return v[i];
}

VirtualDeviceSpec Profile(int n) {
  VirtualDeviceSpec profile;
  profile.productString = n == 0 ? "ZARVEX - ZX4110" : "device " + std::to_string(n);
  profile.vendorId = 0x1234;
  profile.productId = static_cast<uint16_t>(n);
  return profile;
}

void HandOffLatency(int reports) {
  VirtualHidPlatform platform;
  THidSimpleLoop loop;
  THidDeviceController controller(platform, loop);
  const auto id = platform.Plug(Profile(0), nullptr);
  loop.ProcessPending();
  THidDeviceHold panel = controller.CheckOutAt(0);

  std::vector<double> latencies;
  latencies.reserve(static_cast<std::size_t>(reports));
  std::atomic<Clock::rep> sentAt{0};
  std::atomic<int> handled{0};
  panel->SetDataHandler([&](THidDevice&, uint8_t, const uint8_t*, uint16_t) {
    const auto now = Clock::now().time_since_epoch().count();
    latencies.push_back(static_cast<double>(now - sentAt.load()) / 1e3);  // ns -> us
    handled.fetch_add(1);
  });

  std::thread device([&] {
    std::vector<uint8_t> report(65, 0);
    report[0] = 1;
    for (int i = 0; i < reports; ++i) {
      sentAt = Clock::now().time_since_epoch().count();
      platform.SendInputReport(id, report);
      while (handled.load() <= i) std::this_thread::yield();
    }
  });
  loop.RunUntil([&] { return handled.load() >= reports; }, std::chrono::seconds(120));
  device.join();
  panel.reset();

  std::printf("hand-off latency over %d reports: median %.1f us, p99 %.1f us, max %.1f us\n", reports,
              Percentile(latencies, 0.5), Percentile(latencies, 0.99), Percentile(latencies, 1.0));
}

void ScanTime(int devices, int rounds) {
  VirtualHidPlatform platform;
  THidSimpleLoop loop;
  for (int i = 0; i < devices; ++i) platform.Plug(Profile(i), nullptr);
  THidDeviceController controller(platform, loop);
  const auto t0 = Clock::now();
  loop.ProcessPending();  // the start-up scan: every device arrives
  const auto t1 = Clock::now();
  std::vector<double> steady;
  for (int r = 0; r < rounds; ++r) {
    const auto s = Clock::now();
    controller.DeviceChange();  // every device found again and dropped as a duplicate
    steady.push_back(std::chrono::duration<double, std::micro>(Clock::now() - s).count());
  }
  std::printf("scan over %d virtual devices: first (all arrive) %.1f us, later scans median %.1f us\n", devices,
              std::chrono::duration<double, std::micro>(t1 - t0).count(), Percentile(steady, 0.5));
}

}  // namespace

int main() {
  HandOffLatency(10000);
  ScanTime(50, 100);
  return 0;
}
