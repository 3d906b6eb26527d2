// The Linux layer where no HID device is needed: refusals and the monitor.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "hid/controller_error.h"
#include "hid/hid_device.h"
#include "hid/hid_simple_loop.h"
#include "hid/linux/linux_hid_platform.h"

namespace zarvex::hid::test {
namespace {

TEST(LinuxHidPlatform, MissingNodeFailsWithItsErrno) {
  LinuxHidPlatform platform;
  uint32_t error = 0;
  EXPECT_FALSE(platform.Open("/dev/hidraw-none", THidAccess::ReadWrite, error));
  EXPECT_EQ(error, static_cast<uint32_t>(ENOENT));
  EXPECT_FALSE(platform.Open("/dev/hidraw-none", THidAccess::QueryOnly, error));
  EXPECT_EQ(error, static_cast<uint32_t>(ENOENT));
}

// The claim is an flock on the node: held against every other open file,
// this program's own second claim included, and gone with its holder.
TEST(LinuxHidPlatform, AClaimedNodeIsRefusedAsBusyUntilItsClaimEnds) {
  char name[] = "/tmp/zarvex-claim-XXXXXX";
  const int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  close(fd);
  LinuxHidPlatform platform;
  uint32_t error = 0;
  auto first = platform.Claim(name, error);
  ASSERT_TRUE(first) << error;
  EXPECT_FALSE(platform.Claim(name, error));
  EXPECT_EQ(platform.ClassifyError(error), THidErrorKind::Busy);
  first.reset();
  EXPECT_TRUE(platform.Claim(name, error));
  EXPECT_FALSE(platform.Claim("/dev/hidraw-none", error));
  EXPECT_EQ(platform.ClassifyError(error), THidErrorKind::Gone);
  std::remove(name);
}

TEST(LinuxHidPlatform, NodeThatIsNoHidDeviceCannotBeIdentified) {
  LinuxHidPlatform platform;
  THidSimpleLoop loop;
  uint32_t error = 0;
  auto handle = platform.Open("/dev/null", THidAccess::ReadWrite, error);
  ASSERT_TRUE(handle);
  THidAttributes attributes;
  EXPECT_FALSE(handle->Attributes(attributes));
  THidCaps caps;
  handle->Caps(caps);
  EXPECT_EQ(caps.inputReportByteLength, 0);
  try {
    THidDevice device(nullptr, platform, loop, {"/dev/null", "none"});
    ADD_FAILURE() << "a device that is no HID device was created";
  } catch (const EControllerError& e) {
    EXPECT_STREQ(e.what(), "device cannot be identified");
  }
}

TEST(LinuxHidPlatform, EnumeratesAndWatchesWithoutDevices) {
  LinuxHidPlatform platform;
  THidSimpleLoop loop;
  for (const auto& i : platform.PresentInterfaces()) {
    EXPECT_EQ(i.devicePath.rfind("/dev/hidraw", 0), 0u) << i.devicePath;
    EXPECT_FALSE(i.instance.empty());
  }
  platform.WatchChanges(loop, [] {});
  loop.ProcessPending();
  platform.UnwatchChanges();
}

}  // namespace
}  // namespace zarvex::hid::test
