// The Windows HID backend where no panel is needed: errors onto the paths
// the program has, a path that is not there, and a device-change message
// reaching the controller's scan through the main loop.
#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>

#include "hid/hid_simple_loop.h"
#include "hid/windows/windows_hid_platform.h"

namespace zarvex::hid {
namespace {

TEST(WindowsHidPlatformTest, ErrorsMapOntoTheUnplugNoAccessAndBusyPaths) {
  WindowsHidPlatform platform;
  for (DWORD gone : {ERROR_DEVICE_NOT_CONNECTED, ERROR_OPERATION_ABORTED, ERROR_GEN_FAILURE,
                     ERROR_FILE_NOT_FOUND}) {
    EXPECT_EQ(platform.ClassifyError(gone), THidErrorKind::Gone) << gone;
  }
  EXPECT_EQ(platform.ClassifyError(ERROR_ACCESS_DENIED), THidErrorKind::Denied);
  EXPECT_EQ(platform.ClassifyError(ERROR_SHARING_VIOLATION), THidErrorKind::Denied);
  EXPECT_EQ(platform.ClassifyError(ERROR_BUSY), THidErrorKind::Busy);
  EXPECT_EQ(platform.ClassifyError(ERROR_TIMEOUT), THidErrorKind::TimedOut);
  EXPECT_EQ(platform.ClassifyError(ERROR_INVALID_PARAMETER), THidErrorKind::Other);
  // errno's ENODEV (19) is ERROR_WRITE_PROTECT here: the codes are the system's own.
  EXPECT_EQ(platform.ClassifyError(19), THidErrorKind::Other);
}

// The claim is a named mutex of the lower-cased path: a second claim, from
// this program or another, is refused until the first one ends.
TEST(WindowsHidPlatformTest, AClaimedPathIsRefusedAsBusyWhateverItsCaseUntilReleased) {
  WindowsHidPlatform platform;
  const std::string path = "\\\\?\\HID#VID_1209&PID_5A58#7&1d2f&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
  std::string lower = path;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(ClaimMutexName(path), ClaimMutexName(lower));
  EXPECT_EQ(ClaimMutexName(path).find('\\', 7), std::string::npos);  // only the namespace's
  uint32_t error = 0;
  auto first = platform.Claim(path, error);
  ASSERT_TRUE(first) << error;
  EXPECT_FALSE(platform.Claim(lower, error));
  EXPECT_EQ(platform.ClassifyError(error), THidErrorKind::Busy);
  first.reset();
  EXPECT_TRUE(platform.Claim(lower, error));
}

TEST(WindowsHidPlatformTest, APathThatIsGoneOpensNeitherWayAndSaysWhy) {
  WindowsHidPlatform platform;
  const std::string gone = "\\\\?\\hid#vid_1209&pid_5a58#0&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
  for (THidAccess access : {THidAccess::ReadWrite, THidAccess::QueryOnly}) {
    uint32_t error = 0;
    EXPECT_EQ(platform.Open(gone, access, error), nullptr);
    EXPECT_NE(error, 0u);
    EXPECT_EQ(platform.ClassifyError(error), THidErrorKind::Gone) << error;
  }
}

// A burst of arrivals and removals ends in one scan on the main thread.
TEST(WindowsHidPlatformTest, DeviceChangeMessagesEndInOneScanOnTheMainLoop) {
  WindowsHidPlatform platform;
  THidSimpleLoop loop;
  int scans = 0;
  platform.WatchChanges(loop, [&] { ++scans; });
  platform.DeviceChanged(false, "\\\\?\\HID#panel");
  platform.DeviceChanged(true, "\\\\?\\HID#panel");
  platform.DeviceChanged(true, "\\\\?\\HID#other");
  EXPECT_TRUE(loop.RunUntil([&] { return scans > 0; }, std::chrono::milliseconds(2000)));
  loop.RunUntil([] { return false; }, std::chrono::milliseconds(50));
  EXPECT_EQ(scans, 1);
  // A second after the last message, one more scan: Wine's lists may lag.
  EXPECT_TRUE(loop.RunUntil([&] { return scans == 2; }, std::chrono::milliseconds(3000)));
  loop.RunUntil([] { return false; }, std::chrono::milliseconds(1500));
  EXPECT_EQ(scans, 2);
  platform.DeviceChanged(true, "\\\\?\\HID#panel");
  EXPECT_TRUE(loop.RunUntil([&] { return scans == 3; }, std::chrono::milliseconds(2000)));
  platform.UnwatchChanges();
  platform.DeviceChanged(true, "\\\\?\\HID#panel");  // after the watch: nothing
  loop.RunUntil([] { return false; }, std::chrono::milliseconds(1500));
  EXPECT_EQ(scans, 3);
}

// Whatever Wine or Windows lists, every interface has a path and an
// instance, and a second scan of an unchanged system gives the same ones.
TEST(WindowsHidPlatformTest, ScansAreStableAndOpenQueryOnlyWhereReadWriteIsRefused) {
  WindowsHidPlatform platform;
  const auto first = platform.PresentInterfaces();
  const auto second = platform.PresentInterfaces();
  ASSERT_EQ(first.size(), second.size());
  for (size_t i = 0; i < first.size(); ++i) {
    EXPECT_FALSE(first[i].devicePath.empty());
    EXPECT_EQ(first[i].instance, second[i].instance);
    uint32_t error = 0;
    auto handle = platform.Open(first[i].devicePath, THidAccess::ReadWrite, error);
    if (!handle) handle = platform.Open(first[i].devicePath, THidAccess::QueryOnly, error);
    if (!handle) continue;
    THidCaps caps;
    if (handle->Caps(caps)) EXPECT_LE(caps.inputReportByteLength, 4096);
  }
}

}  // namespace
}  // namespace zarvex::hid
