#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <thread>

#include "hid/hid_device_read_thread.h"
#include "hid_test_support.h"

namespace zarvex::hid::test {
namespace {

struct Received {
  uint8_t reportId = 0;
  std::vector<uint8_t> data;
  std::thread::id thread;
};

class ReadThreadTest : public ControllerTest {
 protected:
  void SetUp() override {
    id = StartWith(kPanel)[0];
    held = controller->CheckOutAt(0);
    ASSERT_TRUE(held);
  }
  void TearDown() override { held.reset(); }

  THidDataEvent Recorder() {
    return [this](THidDevice&, uint8_t reportId, const uint8_t* data, uint16_t size) {
      received.push_back({reportId, std::vector<uint8_t>(data, data + size), std::this_thread::get_id()});
    };
  }
  bool WaitFor(std::size_t n) {
    return loop.RunUntil([&] { return received.size() >= n; });
  }
  // Polls the platform's side, which the main loop does not drive.
  static bool WaitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 5000 && !done(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
  }
  // The reading thread took the report and waits in the hand-off.
  // The report was taken, and reading goes on meanwhile for the next one.
  bool WaitUntilHandedOff() {
    const bool taken = WaitUntil(
        [&] { return platform.QueuedInputReports(id) == 0 && platform.WaitingReads(id) == 1; });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // and submitted
    return taken;
  }
  bool WaitUntilReadWaiting() {
    return WaitUntil([&] { return platform.WaitingReads(id) == 1; });
  }

  VirtualHidPlatform::DeviceId id = 0;
  THidDeviceHold held;
  std::vector<Received> received;
};

TEST_F(ReadThreadTest, ReportReachesTheHandlerOnTheMainThreadWithIdAndSize) {
  held->SetDataHandler(Recorder());
  ASSERT_TRUE(held->Reading());
  platform.SendInputReport(id, {1, 0xDC, 0xEE, 0x00, 0x05});
  std::vector<uint8_t> full(65, 0x33);
  full[0] = 7;
  platform.SendInputReport(id, full);
  ASSERT_TRUE(WaitFor(2));
  EXPECT_EQ(received[0].reportId, 1);
  EXPECT_EQ(received[0].data, (std::vector<uint8_t>{0xDC, 0xEE, 0x00, 0x05}));
  EXPECT_EQ(received[0].thread, std::this_thread::get_id());
  EXPECT_EQ(received[1].reportId, 7);
  EXPECT_EQ(received[1].data, std::vector<uint8_t>(64, 0x33));
}

TEST_F(ReadThreadTest, ShortReportGivesSizeOfBytesReadMinusOne) {
  auto profile = PanelSpec("short");
  profile.inputReportByteLength = 9;
  const auto small = platform.Plug(profile, &behaviour);
  Settle();
  auto other = controller->CheckOutAt(IndexOf(small));
  ASSERT_TRUE(other);
  other->SetDataHandler(Recorder());
  platform.SendInputReport(small, {3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});  // longer than the buffer
  platform.SendInputReport(small, {4, 9});
  ASSERT_TRUE(WaitFor(2));
  EXPECT_EQ(received[0].reportId, 3);
  EXPECT_EQ(received[0].data, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(received[1].reportId, 4);
  EXPECT_EQ(received[1].data, (std::vector<uint8_t>{9}));
}

TEST_F(ReadThreadTest, CheckInCompletesWhileTheThreadIsBlockedInAHandOff) {
  held->SetDataHandler(Recorder());
  platform.SendInputReport(id, {1, 42});
  ASSERT_TRUE(WaitUntilHandedOff());
  EXPECT_TRUE(received.empty());  // the main loop has not run yet
  held.reset();                   // serves the pending hand-off while it waits
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].data[0], 42);
  EXPECT_EQ(controller->Count(), 1);
  loop.ProcessPending();  // the stale wake-up finds nothing to run
  EXPECT_EQ(received.size(), 1u);
}

TEST_F(ReadThreadTest, StopWithAReadOutstandingCancelsItBeforeTheThreadEnds) {
  held->SetReadSleepTime(10000);
  held->SetDataHandler(Recorder());
  ASSERT_TRUE(WaitUntilReadWaiting());
  held->SetDataHandler(nullptr);
  EXPECT_FALSE(held->Reading());
  EXPECT_EQ(platform.CancelledReads(id), 1);
  EXPECT_EQ(platform.WaitingReads(id), 0);
  // A read left pending on the system (Windows) ends with the thread.
  EXPECT_EQ(platform.EndedPendingReads(id), 1);
  platform.SendInputReport(id, {1, 1});
  loop.ProcessPending();
  EXPECT_EQ(platform.QueuedInputReports(id), 1u);  // nobody took it
  EXPECT_TRUE(received.empty());
}

TEST_F(ReadThreadTest, ClearingTheHandlerStopsTheThreadAndSettingItAgainStartsANewOne) {
  held->SetDataHandler(Recorder());
  platform.SendInputReport(id, {1, 1});
  ASSERT_TRUE(WaitFor(1));
  held->SetDataHandler(nullptr);
  EXPECT_FALSE(held->Reading());
  platform.SendInputReport(id, {1, 2});
  loop.ProcessPending();
  EXPECT_EQ(received.size(), 1u);
  std::vector<uint8_t> second;
  held->SetDataHandler([&](THidDevice&, uint8_t, const uint8_t* data, uint16_t) { second.push_back(data[0]); });
  EXPECT_TRUE(held->Reading());
  ASSERT_TRUE(loop.RunUntil([&] { return !second.empty(); }));
  EXPECT_EQ(second, std::vector<uint8_t>{2});
}

TEST_F(ReadThreadTest, FailureEscapingTheHandlerEndsTheThreadQuietly) {
  int calls = 0;
  held->SetDataHandler([&](THidDevice&, uint8_t, const uint8_t*, uint16_t) {
    ++calls;
    throw std::runtime_error("bad report");
  });
  platform.SendInputReport(id, {1, 1});
  ASSERT_TRUE(loop.RunUntil([&] { return calls == 1; }));
  platform.SendInputReport(id, {1, 2});
  loop.RunUntil([] { return false; }, std::chrono::milliseconds(50));
  EXPECT_EQ(calls, 1);  // no report reaches the handler after the failure
  held.reset();  // still releases cleanly
}

TEST_F(ReadThreadTest, UnpluggedHeldDeviceReportsReadErrorsUntilCheckedIn) {
  std::vector<uint32_t> errors;
  held->SetDataErrorHandler([&](THidDevice&, uint32_t e) { errors.push_back(e); });
  held->SetDataHandler(Recorder());
  int removals = 0;
  controller->SetOnRemoval([&](THidDevice&) { ++removals; });
  platform.Unplug(id);
  ASSERT_TRUE(loop.RunUntil([&] { return removals >= 1 && errors.size() >= 3; }));
  // Before the scan the platform's own code; once marked unplugged, "no device".
  for (uint32_t e : errors) EXPECT_NE(e, 0u);
  EXPECT_EQ(errors.back(), static_cast<uint32_t>(ENODEV));
  held.reset();
  EXPECT_EQ(controller->Count(), 0);
}

TEST_F(ReadThreadTest, CheckInFromInsideTheDataHandlerDoesNotDeadlock) {
  held->SetDataHandler([&](THidDevice& d, uint8_t, const uint8_t*, uint16_t) {
    received.push_back({});
    if (&d == held.get()) held.reset();
  });
  platform.SendInputReport(id, {1, 1});
  ASSERT_TRUE(WaitFor(1));
  EXPECT_FALSE(held);
  ASSERT_EQ(controller->Count(), 1);
  EXPECT_FALSE(controller->At(0).CheckedOut());
  // The fresh object reads again once checked out.
  held = controller->CheckOutAt(0);
  ASSERT_TRUE(held && held->Reading());
}

// A stop that lands while a thread has found nothing to do but has not yet
// slept must still wake it: the pause holds that window open 30 ms.
std::atomic<int> pausesTaken{0};
void PauseBeforeWait() {
  ++pausesTaken;
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

TEST_F(ReadThreadTest, AStopBetweenTheThreadsCheckAndItsSleepIsNotLost) {
  THidDeviceReadThread::SetPauseBeforeWait(PauseBeforeWait);
  for (int round = 0; round < 3; ++round) {
    pausesTaken = 0;
    held->SetDataHandler(Recorder());
    ASSERT_TRUE(WaitUntil([] { return pausesTaken > 0; }));
    held->SetDataHandler(nullptr);  // hung here when the wake-up was lost
    EXPECT_FALSE(held->Reading());
  }
  // And a check-in from the same window.
  pausesTaken = 0;
  held->SetDataHandler(Recorder());
  ASSERT_TRUE(WaitUntil([] { return pausesTaken > 0; }));
  held.reset();
  THidDeviceReadThread::SetPauseBeforeWait(nullptr);
  EXPECT_FALSE(controller->At(0).CheckedOut());
}

TEST_F(ReadThreadTest, RepliesSentFromInsideTheWriteArriveThroughTheReader) {
  struct Echo final : VirtualDeviceBehaviour {
    VirtualHidPlatform* platform = nullptr;
    VirtualHidPlatform::DeviceId id = 0;
    void OnOutputReport(const std::vector<uint8_t>& report) override {
      std::vector<uint8_t> answer(report);
      answer[1] ^= 0xFF;
      platform->SendInputReport(id, answer);
    }
  } echo;
  echo.platform = &platform;
  echo.id = platform.Plug(PanelSpec("echo"), &echo);
  Settle();
  auto dev = controller->CheckOutAt(IndexOf(echo.id));
  dev->SetDataHandler(Recorder());
  for (uint8_t i = 0; i < 20; ++i) {
    std::vector<uint8_t> report{1, i};
    report.resize(65);
    ASSERT_TRUE(dev->WriteReport(report.data(), 65));
    ASSERT_TRUE(WaitFor(i + 1u));
    EXPECT_EQ(received.back().data[0], static_cast<uint8_t>(i ^ 0xFF));
  }
  dev.reset();
  platform.Unplug(echo.id);
}

}  // namespace
}  // namespace zarvex::hid::test
