#include <gtest/gtest.h>

#include <algorithm>

#include <cerrno>

#include "hid/controller_error.h"
#include "hid_test_support.h"

namespace zarvex::hid::test {
namespace {

using ScanTest = ControllerTest;

TEST_F(ScanTest, StartupScanRaisesDeviceChangeOnceEvenWithNoDevice) {
  StartController();
  EXPECT_EQ(deviceChanges, 1);
  EXPECT_EQ(controller->Count(), 0);
  loop.ProcessPending();
  controller->DeviceChange();  // nothing changed: no event
  EXPECT_EQ(deviceChanges, 1);
}

TEST_F(ScanTest, AssigningOnDeviceChangeBeforeTheStartupScanOnlyStoresIt) {
  controller = std::make_unique<THidDeviceController>(platform, loop);
  int early = 0;
  controller->SetOnDeviceChange([&](THidDeviceController&) { ++early; });
  EXPECT_EQ(early, 0);
  loop.ProcessPending();
  EXPECT_EQ(early, 1);
  // Once set up, a new handler scans at once; with nothing changed it is not raised.
  PlugPanel();
  controller->SetOnDeviceChange([&](THidDeviceController&) { ++deviceChanges; });
  EXPECT_EQ(controller->Count(), 1);
  EXPECT_EQ(deviceChanges, 1);
  Settle();  // the plug's own notification finds nothing new
  EXPECT_EQ(deviceChanges, 1);
}

TEST_F(ScanTest, PlugAndUnplugEachRaiseOneChangeAndKeepTheCounts) {
  StartController();
  std::vector<std::string> arrived, removed;
  controller->SetOnArrival([&](THidDevice& d) {
    EXPECT_TRUE(d.InEvent());
    arrived.push_back(d.ProductString());
  });
  controller->SetOnRemoval([&](THidDevice& d) {
    EXPECT_TRUE(d.InEvent());
    EXPECT_FALSE(d.Plugged());
    removed.push_back(d.ProductString());
  });
  const auto a = PlugPanel("A");
  PlugPanel("B");
  Settle();
  EXPECT_EQ(deviceChanges, 2);  // one notification per plug, the second scan finds nothing new
  EXPECT_EQ(arrived, (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(controller->Count(), 2);
  EXPECT_EQ(controller->CheckedInCount(), 2);
  EXPECT_FALSE(controller->At(0).InEvent());

  platform.Unplug(a);
  Settle();
  EXPECT_EQ(deviceChanges, 3);
  EXPECT_EQ(removed, (std::vector<std::string>{"A"}));  // cached while offered
  ASSERT_EQ(controller->Count(), 1);
  EXPECT_EQ(controller->At(0).ProductString(), "B");
}

TEST_F(ScanTest, UnreadableDevicesAreLeftOutWithoutMessage) {
  StartController();
  const auto id = PlugPanel();
  platform.FailNextOpens(id, 2);  // read-write and query-only both fail
  Settle();
  EXPECT_EQ(controller->Count(), 0);
  controller->DeviceChange();
  EXPECT_EQ(controller->Count(), 1);
}

TEST_F(ScanTest, QueryOnlyDeviceIsListedWithItsOpenError) {
  StartController();
  auto profile = PanelSpec();
  profile.readWriteAccess = false;
  platform.Plug(profile, &behaviour);
  Settle();
  ASSERT_EQ(controller->Count(), 1);
  THidDevice& d = controller->At(0);
  EXPECT_FALSE(d.ReadWriteAccess());
  EXPECT_EQ(d.OpenError(), static_cast<uint32_t>(EACCES));
  d.SetDataHandler(IgnoreData);
  auto held = controller->CheckOutAt(0);
  ASSERT_TRUE(held);
  EXPECT_EQ(held->ProductString(), "ZARVEX - ZX4110");
  EXPECT_FALSE(held->Reading());  // query-only devices never get a reading thread
  const uint8_t report[65] = {1};
  EXPECT_FALSE(held->WriteReport(report, 65));
  EXPECT_TRUE(behaviour.Reports().empty());
}

// A plug seen while a scan runs (a handler serving the loop, a message box
// open) must not be lost: it is scanned for once the running scan is over.
TEST_F(ScanTest, ChangeArrivingDuringAScanIsScannedForAfterIt) {
  StartController();
  bool nested = false;
  int scansRunning = 0, deepest = 0;
  controller->SetOnArrival([&](THidDevice&) {
    deepest = std::max(deepest, ++scansRunning);
    if (!nested) {
      nested = true;
      PlugPanel("late");
      loop.ProcessPending();  // the notification meets the running scan
    }
    --scansRunning;
  });
  PlugPanel("first");
  Settle();
  EXPECT_EQ(controller->Count(), 2);
  EXPECT_EQ(deepest, 1);  // never nested
}

// udev may set the node's permissions after the first scan listed it: the
// device must then be offered again, now that it opens read-write.
TEST_F(ScanTest, ADeviceThatGainsReadWriteAccessCountsAsAChange) {
  StartController();
  auto locked = PanelSpec(kPanel);
  locked.readWriteAccess = false;
  const auto id = platform.Plug(locked, &behaviour);
  Settle();
  ASSERT_EQ(controller->Count(), 1);
  EXPECT_FALSE(controller->At(0).ReadWriteAccess());
  int changes = 0;
  controller->SetOnDeviceChange([&](THidDeviceController&) { ++changes; });
  controller->DeviceChange();
  EXPECT_EQ(changes, 0);  // nothing new yet
  platform.SetReadWriteAccess(id, true);
  controller->DeviceChange();
  EXPECT_EQ(changes, 1);
  ASSERT_EQ(controller->Count(), 1);
  EXPECT_TRUE(controller->At(0).ReadWriteAccess());
  EXPECT_TRUE(controller->CheckOutAt(0));
}

TEST_F(ScanTest, FailingHandlerReportsAndSwitchesChangeHandlingOff) {
  StartController();
  std::string message;
  controller->SetOnChangeFailure([&](const char* m) { message = m; });
  controller->SetOnArrival([](THidDevice&) { throw std::runtime_error("handler failed"); });
  PlugPanel();
  Settle();
  EXPECT_EQ(message, "Ошибка смены устройства.\rПерезапустите приложение Kelvora !");
  EXPECT_TRUE(controller->InDeviceChange());
  controller->SetOnArrival(nullptr);
  PlugPanel("another");
  Settle();
  EXPECT_EQ(controller->Count(), 1);  // the second plug was not followed
}

using EnumerateTest = ControllerTest;

TEST_F(EnumerateTest, CountsOfferedDevicesIncludingTheOneThatStopped) {
  StartController();
  EXPECT_EQ(controller->EnumerateDevices(), 0);
  PlugPanel("A");
  PlugPanel("B");
  PlugPanel("C");
  Settle();
  EXPECT_EQ(controller->EnumerateDevices(), 1);  // unassigned: the first one stops the walk

  std::vector<int> offered;
  controller->SetOnEnumerate([&](THidDevice& d, int idx) {
    EXPECT_TRUE(d.InEvent());
    EXPECT_EQ(&controller->At(idx), &d);
    offered.push_back(idx);
    return idx != 1;
  });
  EXPECT_EQ(controller->EnumerateDevices(), 2);
  EXPECT_EQ(offered, (std::vector<int>{0, 1}));
}

TEST_F(EnumerateTest, ClosesWhatTheHandlerOpenedUnlessItCheckedTheDeviceOut) {
  const auto [a, b] = StartWith("A", "B");
  THidDeviceHold held;
  controller->SetOnEnumerate([&](THidDevice& d, int idx) {
    EXPECT_TRUE(d.OpenMainHandle());
    if (d.ProductString() == "B") held = controller->CheckOutAt(idx);
    return true;
  });
  EXPECT_EQ(controller->EnumerateDevices(), 2);
  EXPECT_EQ(platform.OpenHandles(a), 0);
  EXPECT_GE(platform.OpenHandles(b), 1);
  ASSERT_TRUE(held);
  EXPECT_EQ(held->ProductString(), "B");
}

TEST_F(EnumerateTest, WalkGoesOnByIdentityWhenHandlerChecksInAnotherDevice) {
  StartWith("A", "B", "C");
  THidDeviceHold heldB = controller->CheckOutAt(1);
  ASSERT_TRUE(heldB);
  std::vector<std::string> offered;
  controller->SetOnEnumerate([&](THidDevice& d, int) {
    offered.push_back(d.ProductString());
    if (offered.size() == 1) heldB.reset();  // B is replaced by a fresh object
    return true;
  });
  EXPECT_EQ(controller->EnumerateDevices(), 2);
  EXPECT_EQ(offered, (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(controller->Count(), 3);
}

using CheckOutTest = ControllerTest;

TEST_F(CheckOutTest, RefusesIndexOutsideTheListAndDevicesAlreadyOut) {
  StartWith(kPanel);
  EXPECT_FALSE(controller->CheckOutAt(-1));
  EXPECT_FALSE(controller->CheckOutAt(1));
  auto held = controller->CheckOutAt(0);
  ASSERT_TRUE(held);
  EXPECT_TRUE(held->CheckedOut());
  EXPECT_FALSE(controller->CheckOutAt(0));
  EXPECT_EQ(controller->CheckedOutCount(), 1);
  EXPECT_EQ(controller->CheckedInCount(), 0);
}

// Two controllers stand for two programs on one machine: the second to
// check the panel out finds it claimed, writes nothing and reads nothing,
// and the claim ends with the first one's check-in.
TEST_F(CheckOutTest, ADeviceClaimedByAnotherHolderIsHeldWithoutAccessUntilReleased) {
  const auto id = StartWith(kPanel)[0];
  THidDeviceController other(platform, loop);
  loop.ProcessPending();
  auto held = controller->CheckOutAt(0);
  ASSERT_TRUE(held);
  EXPECT_TRUE(held->ReadWriteAccess());
  EXPECT_TRUE(platform.Claimed(id));

  auto refused = other.CheckOutAt(0);
  ASSERT_TRUE(refused);
  EXPECT_FALSE(refused->ReadWriteAccess());
  EXPECT_TRUE(refused->HeldElsewhere());
  EXPECT_EQ(platform.ClassifyError(refused->OpenError()), THidErrorKind::Busy);
  const uint8_t report[2] = {1, 0xDC};
  EXPECT_FALSE(refused->WriteReport(report, 2));
  refused->SetDataHandler(IgnoreData);
  EXPECT_FALSE(refused->Reading());
  EXPECT_TRUE(behaviour.Reports().empty());
  refused.reset();
  EXPECT_TRUE(platform.Claimed(id));  // a refused holder releases nothing

  held.reset();
  EXPECT_FALSE(platform.Claimed(id));
  auto now = other.CheckOutAt(0);
  ASSERT_TRUE(now);
  EXPECT_TRUE(now->ReadWriteAccess());
  EXPECT_TRUE(now->WriteReport(report, 2));
}

TEST_F(CheckOutTest, UnrelatedPlugAndUnplugLeaveTheHeldDeviceHeld) {
  StartWith(kPanel);
  auto held = controller->CheckOutAt(0);
  ASSERT_TRUE(held);
  const int before = deviceChanges;
  const auto other = PlugPanel("mouse");
  Settle();
  platform.Unplug(other);
  Settle();
  EXPECT_EQ(deviceChanges, before + 2);
  EXPECT_TRUE(held->CheckedOut());
  EXPECT_TRUE(held->Plugged());
  ASSERT_EQ(controller->Count(), 1);
  EXPECT_EQ(&controller->At(0), held.get());
  EXPECT_EQ(controller->CheckedOutCount(), 1);
}

TEST_F(CheckOutTest, HeldUnpluggedDeviceIsRemovedOnEveryScanUntilCheckedIn) {
  const auto id = StartWith(kPanel, "other")[0];
  int unplugs = 0;
  controller->SetOnDeviceUnplug([&](THidDevice&) { ++unplugs; });
  int removals = 0;
  controller->SetOnRemoval([&](THidDevice&) { ++removals; });
  auto held = controller->CheckOutAt(IndexOf(id));
  ASSERT_TRUE(held);
  platform.Unplug(id);
  Settle();
  controller->DeviceChange();
  controller->DeviceChange();
  EXPECT_EQ(unplugs, 1);
  EXPECT_EQ(removals, 3);
  EXPECT_FALSE(held->Plugged());
  EXPECT_EQ(controller->Count(), 2);
  EXPECT_EQ(controller->UnpluggedCount(), 1);
  EXPECT_EQ(controller->CheckedOutCount(), 0);

  // Plugged back while the old object is still held: a new device.
  const auto again = PlugPanel();
  Settle();
  EXPECT_EQ(controller->Count(), 3);
  EXPECT_EQ(removals, 4);

  held.reset();
  EXPECT_EQ(controller->Count(), 2);  // checking in an unplugged device shortens the list
  EXPECT_EQ(controller->UnpluggedCount(), 0);
  controller->DeviceChange();
  EXPECT_EQ(removals, 4);
  EXPECT_GE(IndexOf(again), 0);
}

TEST_F(CheckOutTest, CheckInFromTheRemovalHandlerIsNotTouchedAgain) {
  const auto id = StartWith(kPanel)[0];
  THidDeviceHold held = controller->CheckOutAt(0);
  held->SetDataHandler(IgnoreData);
  controller->SetOnRemoval([&](THidDevice& d) {
    if (&d == held.get()) held.reset();
  });
  platform.Unplug(id);
  Settle();
  EXPECT_FALSE(held);
  EXPECT_EQ(controller->Count(), 0);
  EXPECT_EQ(controller->UnpluggedCount(), 0);
}

TEST_F(CheckOutTest, RemovalHandlerThatChecksInAnotherDeviceDoesNotDerailTheWalk) {
  const auto [a, b] = StartWith("A", "B");
  THidDeviceHold heldA = controller->CheckOutAt(0);
  THidDeviceHold heldB = controller->CheckOutAt(1);
  int removals = 0;
  controller->SetOnRemoval([&](THidDevice&) {
    ++removals;
    heldA.reset();
    heldB.reset();
  });
  platform.Unplug(a);
  platform.Unplug(b);
  Settle();
  EXPECT_EQ(removals, 1);  // both left the list in the first call
  EXPECT_EQ(controller->Count(), 0);
}

TEST_F(CheckOutTest, CheckingInAPluggedDeviceKeepsItsSlotWithAFreshObject) {
  StartWith("A", "B", "C");
  auto held = controller->CheckOutAt(1);
  held->SetReadSleepTime(250);
  int dataCalls = 0;
  held->SetDataHandler([&](THidDevice&, uint8_t, const uint8_t*, uint16_t) { ++dataCalls; });
  const uint64_t oldSerial = held->Serial();
  held.reset();
  ASSERT_EQ(controller->Count(), 3);
  THidDevice& fresh = controller->At(1);
  EXPECT_NE(fresh.Serial(), oldSerial);
  EXPECT_FALSE(fresh.CheckedOut());
  EXPECT_EQ(fresh.ReadSleepTime(), 250);
  EXPECT_TRUE(fresh.HasDataHandler());
  EXPECT_FALSE(fresh.Reading());
  EXPECT_EQ(controller->CheckedInCount(), 3);
  EXPECT_EQ(controller->CheckedOutCount(), 0);
  auto again = controller->CheckOutAt(1);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->ProductString(), "B");
}

TEST_F(CheckOutTest, DeviceThatCannotBeReopenedAtCheckInLeavesUntilTheNextScan) {
  const auto id = StartWith(kPanel)[0];
  auto held = controller->CheckOutAt(0);
  platform.FailNextOpens(id, 2);
  held.reset();
  EXPECT_EQ(controller->Count(), 0);
  EXPECT_EQ(controller->CheckedInCount(), 0);
  EXPECT_EQ(controller->CheckedOutCount(), 0);
  controller->DeviceChange();
  EXPECT_EQ(controller->Count(), 1);
}

TEST_F(CheckOutTest, HeldDeviceOutlivesItsController) {
  StartWith(kPanel, "other");
  auto held = controller->CheckOutAt(0);
  held->SetDataHandler(IgnoreData);
  controller.reset();
  EXPECT_EQ(held->Controller(), nullptr);
  EXPECT_FALSE(held->Plugged());
  EXPECT_EQ(held->ProductString(), "");  // never fetched, and no longer askable
  held.reset();
}

using DeviceTest = ControllerTest;

TEST_F(DeviceTest, OnlyANonEmptyProductStringIsCached) {
  const auto id = StartWith("")[0];
  auto held = controller->CheckOutAt(0);
  EXPECT_EQ(held->ProductString(), "");
  platform.SetProductString(id, "ZARVEX - ZX4110");
  EXPECT_EQ(held->ProductString(), "ZARVEX - ZX4110");
  platform.SetProductString(id, "changed");
  EXPECT_EQ(held->ProductString(), "ZARVEX - ZX4110");
}

TEST_F(DeviceTest, ProductStringIsAskedOnlyWhileHeldOrOffered) {
  StartWith(kPanel);
  EXPECT_EQ(controller->At(0).ProductString(), "");
  controller->SetOnEnumerate([](THidDevice& d, int) {
    EXPECT_EQ(d.ProductString(), "ZARVEX - ZX4110");
    return true;
  });
  controller->EnumerateDevices();
  EXPECT_EQ(controller->At(0).ProductString(), "ZARVEX - ZX4110");
}

TEST_F(DeviceTest, ReadSleepTimeTakesOnlyTenToTenThousand) {
  StartWith(kPanel);
  THidDevice& d = controller->At(0);
  EXPECT_EQ(d.ReadSleepTime(), 100);
  // Each refused value leaves the one before it.
  for (const auto& [set, kept] : {std::pair{9, 100}, {10, 10}, {10001, 10}, {10000, 10000}}) {
    d.SetReadSleepTime(set);
    EXPECT_EQ(d.ReadSleepTime(), kept) << set;
  }
}

TEST_F(DeviceTest, DevThreadSleepTimePassesOnlyToDevicesStillOnTheOldValue) {
  StartWith("A", "B");
  controller->At(1).SetReadSleepTime(500);
  controller->SetDevThreadSleepTime(200);
  EXPECT_EQ(controller->At(0).ReadSleepTime(), 200);
  EXPECT_EQ(controller->At(1).ReadSleepTime(), 500);
  controller->SetDevThreadSleepTime(5);  // stored unchecked, refused by the devices
  EXPECT_EQ(controller->DevThreadSleepTime(), 5);
  EXPECT_EQ(controller->At(0).ReadSleepTime(), 200);
}

TEST_F(DeviceTest, DeviceHandlersPassOnOnlyWhereTheControllerOnesStillStand) {
  StartController();
  controller->SetOnDeviceData(IgnoreData);
  controller->SetOnDeviceDataError([](THidDevice&, uint32_t) {});
  PlugPanel("A");
  PlugPanel("B");
  Settle();
  EXPECT_TRUE(controller->At(0).HasDataErrorHandler());  // scan-created devices take it too
  controller->At(1).SetDataHandler(IgnoreData);
  const auto own = controller->At(1).DataHandlerSlot();
  controller->SetOnDeviceData(nullptr);
  EXPECT_FALSE(controller->At(0).HasDataHandler());
  EXPECT_EQ(controller->At(1).DataHandlerSlot(), own);
  controller->SetOnDeviceDataError(nullptr);
  EXPECT_FALSE(controller->At(1).HasDataErrorHandler());
}

TEST_F(DeviceTest, WriteReportSendsExactlyTheBytesWithTheReportIdFirst) {
  StartWith(kPanel);
  EXPECT_FALSE(controller->At(0).WriteReport(std::vector<uint8_t>(65, 1).data(), 65));  // not held
  auto held = controller->CheckOutAt(0);
  const THidCaps caps = held->ReportCaps();
  EXPECT_EQ(caps.inputReportByteLength, 65);
  ASSERT_EQ(caps.outputReportByteLength, 65);
  std::vector<uint8_t> report{1, 0xDC, 0xED};
  report.resize(caps.outputReportByteLength);
  uint32_t written = 0;
  EXPECT_TRUE(held->WriteReport(report.data(), static_cast<int>(report.size()), written));
  EXPECT_EQ(written, 65u);
  ASSERT_EQ(behaviour.Reports().size(), 1u);
  EXPECT_EQ(behaviour.Reports()[0], report);
}

}  // namespace
}  // namespace zarvex::hid::test
