// The HID layer on Qt's event loop: posted hand-offs and watched descriptors.
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <thread>

#include "hid/hid_device_controller.h"
#include "hid/qt/qt_main_loop.h"
#include "hid/virtual_hid_platform.h"

namespace zarvex::hid::test {
namespace {

bool ProcessUntil(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

TEST(QtMainLoop, TasksPostedFromAnotherThreadRunOnTheMainThread) {
  TQtMainLoop loop;
  const auto mainThread = std::this_thread::get_id();
  std::thread::id ranOn;
  bool ran = false;
  std::thread poster([&] { loop.Post([&] { ranOn = std::this_thread::get_id(); ran = true; }); });
  poster.join();
  EXPECT_FALSE(ran);  // queued, never run inside Post
  ASSERT_TRUE(ProcessUntil([&] { return ran; }));
  EXPECT_EQ(ranOn, mainThread);
}

TEST(QtMainLoop, WatchedDescriptorMayUnwatchItselfFromItsHandler) {
  TQtMainLoop loop;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  int calls = 0;
  loop.WatchReadable(fds[0], [&] {
    char c;
    EXPECT_EQ(read(fds[0], &c, 1), 1);
    ++calls;
    loop.Unwatch(fds[0]);
  });
  ASSERT_EQ(write(fds[1], "xy", 2), 2);
  ASSERT_TRUE(ProcessUntil([&] { return calls == 1; }));
  QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_EQ(calls, 1);  // the second byte is no longer watched
  close(fds[0]);
  close(fds[1]);
}

TEST(QtMainLoop, InputReportsReachTheHandlerThroughTheEventLoop) {
  VirtualHidPlatform platform;
  TQtMainLoop loop;
  THidDeviceController controller(platform, loop);
  int changes = 0;
  controller.SetOnDeviceChange([&](THidDeviceController&) { ++changes; });
  ASSERT_TRUE(ProcessUntil([&] { return changes == 1; }));  // the start-up scan
  VirtualDeviceSpec profile;
  profile.productString = "ZARVEX - ZX4110";
  const auto id = platform.Plug(profile, nullptr);
  ASSERT_TRUE(ProcessUntil([&] { return controller.Count() == 1; }));
  THidDeviceHold held = controller.CheckOutAt(0);
  std::vector<uint8_t> got;
  held->SetDataHandler([&](THidDevice&, uint8_t reportId, const uint8_t* data, uint16_t size) {
    got.push_back(reportId);
    got.insert(got.end(), data, data + size);
  });
  platform.SendInputReport(id, {1, 0xDC, 0xEE});
  ASSERT_TRUE(ProcessUntil([&] { return !got.empty(); }));
  EXPECT_EQ(got, (std::vector<uint8_t>{1, 0xDC, 0xEE}));
  held.reset();
}

}  // namespace
}  // namespace zarvex::hid::test

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
