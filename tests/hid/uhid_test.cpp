// The Linux layer against a kernel HID device made through /dev/uhid.
// Exits with 77 (skipped) where /dev/uhid is missing or cannot be opened.
#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "hid/hid_device_controller.h"
#include "hid/hid_simple_loop.h"
#include "hid/linux/linux_hid_platform.h"

namespace zarvex::hid::test {
namespace {

int uhidFd = -1;

const uint8_t kPanelDescriptor[] = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
    0x95, 0x40, 0x09, 0x01, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0,
};

bool Send(const uhid_event& ev) { return write(uhidFd, &ev, sizeof ev) == static_cast<ssize_t>(sizeof ev); }

bool CreatePanel() {
  uhid_event ev{};
  ev.type = UHID_CREATE2;
  std::snprintf(reinterpret_cast<char*>(ev.u.create2.name), sizeof ev.u.create2.name, "ZARVEX - ZX4110");
  std::memcpy(ev.u.create2.rd_data, kPanelDescriptor, sizeof kPanelDescriptor);
  ev.u.create2.rd_size = sizeof kPanelDescriptor;
  ev.u.create2.bus = 0x03;
  ev.u.create2.vendor = 0x1234;
  ev.u.create2.product = 0x5678;
  ev.u.create2.version = 0x0100;
  return Send(ev);
}

// The next UHID_OUTPUT written by the host, answering the kernel's other events on the way.
bool NextOutput(std::vector<uint8_t>& out, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 10) {
    pollfd p{uhidFd, POLLIN, 0};
    if (poll(&p, 1, 10) <= 0) continue;
    uhid_event ev{};
    if (read(uhidFd, &ev, sizeof ev) <= 0) return false;
    if (ev.type == UHID_OUTPUT) {
      out.assign(ev.u.output.data, ev.u.output.data + ev.u.output.size);
      return true;
    }
  }
  return false;
}

TEST(UhidPanel, EnumerateWriteReadUnplug) {
  LinuxHidPlatform platform;
  THidSimpleLoop loop;
  THidDeviceController controller(platform, loop);
  ASSERT_TRUE(CreatePanel());

  int panelIndex = -1;
  THidDeviceHold held;
  controller.SetOnEnumerate([&](THidDevice& d, int idx) {
    if (d.ProductString() != "ZARVEX - ZX4110") return true;
    panelIndex = idx;
    held = controller.CheckOutAt(idx);
    return false;
  });
  std::vector<std::vector<uint8_t>> received;
  controller.SetOnDeviceData([&](THidDevice&, uint8_t id, const uint8_t* data, uint16_t size) {
    std::vector<uint8_t> r{id};
    r.insert(r.end(), data, data + size);
    received.push_back(r);
  });
  int removals = 0;
  controller.SetOnRemoval([&](THidDevice& d) {
    ++removals;
    if (&d == held.get()) held.reset();
  });
  // The monitor's events end in scans; scan on as well in case none arrive here.
  ASSERT_TRUE(loop.RunUntil([&] {
    controller.DeviceChange();
    controller.EnumerateDevices();
    return static_cast<bool>(held);
  }, std::chrono::milliseconds(10000)));
  EXPECT_TRUE(held->ReadWriteAccess());
  EXPECT_EQ(held->VendorID(), 0x1234);
  EXPECT_EQ(held->ProductID(), 0x5678);
  EXPECT_EQ(held->ReportCaps().inputReportByteLength, 65);
  EXPECT_EQ(held->ReportCaps().outputReportByteLength, 65);

  std::vector<uint8_t> report(65, 0);
  report[0] = 1;
  report[1] = 0xDC;
  report[2] = 0xED;
  ASSERT_TRUE(held->WriteReport(report.data(), 65));
  std::vector<uint8_t> written;
  ASSERT_TRUE(NextOutput(written, 5000));
  EXPECT_EQ(written, report);

  uhid_event in{};
  in.type = UHID_INPUT2;
  in.u.input2.size = 65;
  in.u.input2.data[0] = 1;
  in.u.input2.data[1] = 0xDC;
  in.u.input2.data[2] = 0xEE;
  ASSERT_TRUE(Send(in));
  ASSERT_TRUE(loop.RunUntil([&] { return !received.empty(); }, std::chrono::milliseconds(5000)));
  ASSERT_EQ(received[0].size(), 65u);
  EXPECT_EQ(received[0][0], 1);
  EXPECT_EQ(received[0][2], 0xEE);

  uhid_event destroy{};
  destroy.type = UHID_DESTROY;
  ASSERT_TRUE(Send(destroy));
  ASSERT_TRUE(loop.RunUntil([&] {
    controller.DeviceChange();
    return removals > 0;
  }, std::chrono::milliseconds(10000)));
  EXPECT_FALSE(held);
}

}  // namespace
}  // namespace zarvex::hid::test

int main(int argc, char** argv) {
  zarvex::hid::test::uhidFd = open("/dev/uhid", O_RDWR | O_CLOEXEC);
  if (zarvex::hid::test::uhidFd < 0) {
    std::printf("/dev/uhid cannot be opened: %s; skipped\n", std::strerror(errno));
    return 77;
  }
  ::testing::InitGoogleTest(&argc, argv);
  const int rc = RUN_ALL_TESTS();
  close(zarvex::hid::test::uhidFd);
  return rc;
}
