#include "protocol/device_link.h"
#include "protocol/panel_identity.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "link_harness.h"
#include "panel_replies.h"

namespace zarvex::protocol::testing {
namespace {

class DeviceLinkTest : public ::testing::Test, public LinkHarness {};

TEST_F(DeviceLinkTest, StartupValues) {
  EXPECT_EQ(link.ExpectedProductName(), "ZARVEX - ZX4110");
  EXPECT_EQ(link.ReadState(), 0);
  EXPECT_EQ(link.ReadStep(), 200);
  EXPECT_EQ(link.WriteState(), 0);
  EXPECT_EQ(link.WriteStep(), 0);
  EXPECT_FALSE(link.PanelHeld());
  EXPECT_FALSE(view.timerRunning);
  EXPECT_EQ(view.keyRows.size(), 1u);
}

TEST_F(DeviceLinkTest, ConnectShowsConnectedAndIdentifiesTypeThenVersion) {
  FakeDevice& panel = Plug();
  EXPECT_TRUE(link.PanelHeld());
  EXPECT_EQ(view.status, "Устройство подключено");
  EXPECT_EQ(view.statusColour, kConnectedGreen);
  EXPECT_TRUE(view.deviceButtons);
  EXPECT_EQ(view.progressPosition, 0);
  EXPECT_FALSE(view.progressSmooth);
  EXPECT_EQ(link.ReadStep(), 254);
  EXPECT_TRUE(view.timerRunning);
  EXPECT_TRUE(panel.written.empty());

  link.TimerTimer();
  ASSERT_EQ(panel.written.size(), 1u);
  const Report& type = panel.written[0];
  ASSERT_EQ(type.size(), 65u);
  EXPECT_EQ((Report(type.begin(), type.begin() + 7)), (Report{1, 0xDC, 0xED, 0x20, 200, 3, 4}));
  EXPECT_TRUE(view.timerRunning);  // nothing due, but the answer is watched

  Feed(panel, ValueNumber(200, 1));
  EXPECT_EQ(view.deviceType, "Zarvex GSM");
  EXPECT_EQ(link.ReadStep(), 255);
  EXPECT_EQ(link.ReadState(), 0);
  EXPECT_TRUE(view.timerRunning);
  link.TimerTimer();
  ASSERT_EQ(panel.written.size(), 2u);
  EXPECT_EQ(panel.written[1][4], 201);

  Feed(panel, ValueNumber(201, 520));
  EXPECT_EQ(cfg.FirmwareVersion, 520);
  EXPECT_EQ(view.deviceVersion, "520");
  EXPECT_EQ(view.deviceType, "Zarvex GSM ZX-4110");
  EXPECT_EQ(view.firmwareRulesCount, 1);
  EXPECT_EQ(link.ReadStep(), 256);
  EXPECT_EQ(view.showSettingsCount, 0);
}

TEST_F(DeviceLinkTest, UnknownTypeKeepsLabelButStillAsksForVersion) {
  FakeDevice& panel = Plug();
  link.TimerTimer();
  Feed(panel, ValueNumber(200, 2));
  EXPECT_EQ(view.deviceType, "");
  EXPECT_EQ(link.VersionQueryCountdown(), 1);
  Feed(panel, ValueNumber(201, 430));
  EXPECT_EQ(view.deviceType, "");  // below 500 sets no model name
}

TEST_F(DeviceLinkTest, ProductStringMustMatchExactly) {
  for (const char* other : {"zarvex - zx4110", "ZARVEX - ZX4110 ", "ZARVEX - ZX411", ""}) {
    FakeDevice& device = Plug(other);
    EXPECT_FALSE(link.PanelHeld()) << other;
    EXPECT_FALSE(device.lent) << other;
  }
  EXPECT_EQ(view.CountOf("SetStatus"), 0);
}

TEST_F(DeviceLinkTest, PanelOfferedAgainStaysHeldAndIdentifiesAgain) {
  FakeDevice& panel = Plug();
  Identify(panel, 430);
  view.progressPosition = 9;
  link.HIDDeviceChange();
  EXPECT_TRUE(link.PanelHeld());
  EXPECT_EQ(panel.checkOuts, 1);
  EXPECT_EQ(view.progressPosition, 0);
  EXPECT_EQ(link.ReadStep(), 254);
  EXPECT_EQ(link.TypeQueryCountdown(), 1);
}

TEST_F(DeviceLinkTest, SecondPanelIsRefusedUntilTheFirstIsRemoved) {
  FakeDevice& first = Plug();
  FakeDevice& second = Plug();
  EXPECT_FALSE(second.lent);
  EXPECT_EQ(second.checkOuts, 0);

  Feed(second, ValueNumber(200, 1));  // not the held panel: ignored
  EXPECT_EQ(link.ReadStep(), 254);
  EXPECT_EQ(link.InReport()[1], 0);

  Unplug(second);  // not held: the first stays connected
  EXPECT_TRUE(first.lent);
  EXPECT_EQ(view.status, "Устройство подключено");

  FakeDevice& third = Plug();
  Unplug(first);  // the scan after the removal takes the waiting panel
  EXPECT_TRUE(third.lent);
  EXPECT_TRUE(link.PanelHeld());
  EXPECT_EQ(view.status, "Устройство подключено");
  link.TimerTimer();
  EXPECT_EQ(third.written.size(), 1u);
}

TEST_F(DeviceLinkTest, RemovalChecksInAndShowsDisconnectedButKeepsStates) {
  FakeDevice& panel = Plug();
  Identify(panel, 430);
  link.ButtonReadClick();
  link.TimerTimer();
  view.progressSmooth = true;
  link.HIDRemoval(panel);
  EXPECT_FALSE(link.PanelHeld());
  EXPECT_FALSE(panel.lent);
  EXPECT_EQ(view.status, "Устройство не подключено");
  EXPECT_EQ(view.statusColour, kDisconnectedRed);
  EXPECT_EQ(view.deviceType, "");
  EXPECT_EQ(view.deviceVersion, "");
  EXPECT_FALSE(view.deviceButtons);
  EXPECT_FALSE(view.progressSmooth);
  EXPECT_EQ(view.progressPosition, 0);
  EXPECT_EQ(link.ReadState(), 2);
  EXPECT_EQ(link.ReadStep(), 1);
}

TEST_F(DeviceLinkTest, RemovalOfAnotherDeviceDoesNothingButItsScanStopsARead) {
  FakeDevice& panel = Plug();
  FakeDevice& mouse = bus.Plug("USB Mouse");
  link.ButtonReadClick();
  const size_t calls = view.calls.size();
  link.HIDRemoval(mouse);
  EXPECT_EQ(view.calls.size(), calls);
  bus.Remove(mouse);
  link.HIDDeviceChange();
  EXPECT_EQ(link.ReadState(), 0);
  EXPECT_TRUE(panel.lent);
}

TEST_F(DeviceLinkTest, NoAccessShowsRedStatusAndOneMessagePerPlug) {
  FakeDevice& panel = bus.Plug("ZARVEX - ZX4110");
  panel.readWrite = false;
  panel.path = "/dev/hidraw7";
  link.HIDDeviceChange();
  EXPECT_FALSE(link.PanelHeld());
  EXPECT_FALSE(panel.lent);  // given back at once
  EXPECT_EQ(view.status, "Нет доступа к устройству");
  EXPECT_EQ(view.statusColour, kDisconnectedRed);
  EXPECT_FALSE(view.deviceButtons);
  ASSERT_EQ(view.messages.size(), 1u);
  // The hint is the system's own: the udev rule on Linux, another program on Windows.
  EXPECT_EQ(view.messages[0], "Нет доступа к устройству /dev/hidraw7. " + NoAccessHint());
  EXPECT_FALSE(view.timerRunning);

  link.HIDDeviceChange();  // another device's change: status again, no second box
  EXPECT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.status, "Нет доступа к устройству");

  Unplug(panel);
  FakeDevice& again = bus.Plug("ZARVEX - ZX4110");
  again.readWrite = false;
  link.HIDDeviceChange();
  EXPECT_EQ(view.messages.size(), 2u);
}

TEST_F(DeviceLinkTest, NoAccessMessageWaitsUntilTheScanIsOver) {
  FakeDevice& denied = bus.Plug("ZARVEX - ZX4110");
  denied.readWrite = false;
  bus.Plug("USB Mouse");
  int offeredAfter = 0;
  bus.onEnumerate = [this, &offeredAfter](OfferedDevice& d, int i) {
    if (!view.messages.empty()) ++offeredAfter;
    return link.HIDEnumerate(d, i);
  };
  link.HIDDeviceChange();
  EXPECT_EQ(offeredAfter, 0);
  EXPECT_EQ(view.messages.size(), 1u);
}

TEST_F(DeviceLinkTest, OutputReportLengthFollowsTheDevice) {
  FakeDevice& panel = Plug();
  panel.outputLength = 80;
  link.TimerTimer();
  ASSERT_EQ(panel.written.back().size(), 80u);
  for (size_t k = 65; k < 80; ++k) EXPECT_EQ(panel.written.back()[k], 0);
  EXPECT_EQ(panel.written.back()[4], 200);

  panel.outputLength = 9;
  Feed(panel, ValueNumber(200, 1));
  link.TimerTimer();
  ASSERT_EQ(panel.written.back().size(), 9u);
  EXPECT_EQ(panel.written.back()[4], 201);

  panel.outputLength = 0;
  link.ButtonReadClick();
  link.TimerTimer();
  EXPECT_EQ(panel.written.size(), 2u);
}

TEST_F(DeviceLinkTest, LogLineListsEveryByteFollowedByABlankOnlyWhenVisible) {
  FakeDevice& panel = Plug();
  Feed(panel, Ack(17));
  EXPECT_TRUE(view.logLines.empty());
  view.logVisible = true;
  Feed(panel, Ack(17));
  ASSERT_EQ(view.logLines.size(), 1u);
  EXPECT_EQ(view.logLines[0], "220 238 1 17 ");
  EXPECT_EQ(link.WriteStep(), 18);  // dispatched as the acknowledgement of 17
  EXPECT_EQ(link.WriteState(), 1);
}

TEST_F(DeviceLinkTest, ValueReportWithoutHandlerOnlyAdvancesReadStep) {
  FakeDevice& panel = Plug();
  const TCFG before = cfg;
  const size_t calls = view.calls.size();
  Feed(panel, ValueNumber(150, 99));
  EXPECT_EQ(link.ReadStep(), 255);
  EXPECT_EQ(link.ReadState(), 0);
  EXPECT_EQ(cfg, before);
  EXPECT_EQ(view.calls.size(), calls);
}

TEST_F(DeviceLinkTest, HostileRepliesChangeNothingElse) {
  FakeDevice& panel = Plug();
  Identify(panel, 430);
  link.ButtonReadClick();
  link.TimerTimer();
  const TCFG before = cfg;
  const int32_t step = link.ReadStep();
  // Wrong frame mark, wrong direction, unknown kind, and an empty report.
  for (Report r : {Report{0xDD, 0xEE, 0, 1, 4, 'a'}, Report{0xDC, 0xED, 0, 1, 4, 'a'},
                   Report{0xDC, 0xEE, 2, 1}, Report{}}) {
    Feed(panel, r);
  }
  EXPECT_EQ(cfg, before);
  EXPECT_EQ(link.ReadStep(), step);
  EXPECT_EQ(link.ReadState(), 2);
  EXPECT_EQ(link.WriteState(), 0);

  // Over-long: the first 64 bytes count, the rest is dropped.
  Report longOne = ValueText(1, "1234");
  longOne.resize(200, 0x55);
  Feed(panel, longOne);
  EXPECT_EQ(cfg.KeypadCode0, "1234");
  EXPECT_EQ(link.InReport()[64], 0);
}

TEST_F(DeviceLinkTest, EmptyReportDoesNotRepeatThePreviousOne) {
  FakeDevice& panel = Plug();
  Feed(panel, ValueNumber(150, 0));
  Feed(panel, Report{});
  EXPECT_EQ(link.ReadStep(), 255);
}

TEST_F(DeviceLinkTest, ShortReplyReadsTheBytesLeftByEarlierReports) {
  FakeDevice& panel = Plug();
  Feed(panel, ValueNumber(17, 720));
  EXPECT_EQ(cfg.TestPeriod, 720);
  Feed(panel, Report{0xDC, 0xEE, 0, 18});  // value bytes of the previous report remain
  EXPECT_EQ(cfg.ArmDelay, 720);
}

TEST_F(DeviceLinkTest, FailureWhileHandlingIsDroppedAndTheNextReportIsHandled) {
  FakeDevice& panel = Plug();
  view.onMessage = [](const std::string&) { throw std::runtime_error("box failed"); };
  Feed(panel, CodeSaved());
  EXPECT_EQ(link.ReadStep(), 254);  // the advance after the failing handler did not run
  view.onMessage = nullptr;
  Feed(panel, CodeSaved());
  EXPECT_EQ(link.ReadStep(), 255);
  EXPECT_EQ(view.messages, (std::vector<std::string>{"Код сохранен", "Код сохранен"}));
}

TEST_F(DeviceLinkTest, TimerRunsOnlyWhileARequestMayBecomeDueOrAnAnswerIsWatched) {
  int64_t now = 0;
  link.SetClock([&now] { return now; });
  FakeDevice& panel = Connect(430);
  EXPECT_FALSE(view.timerRunning);  // both identification answers came
  view.timerSwitches.clear();
  link.ButtonReadClick();
  EXPECT_TRUE(view.timerRunning);
  link.TimerTimer();  // request sent, answer awaited and watched
  EXPECT_TRUE(view.timerRunning);
  Feed(panel, ValueText(1, "1111"));
  link.ButtonReadClick();  // already running: no second switch
  EXPECT_EQ(view.timerSwitches, (std::vector<bool>{true}));
  link.TimerTimer();
  now += TransferStatus::kAnswerTimeoutMs;
  link.TimerTimer();  // the watch has run out: nothing left to tick for
  EXPECT_FALSE(view.timerRunning);
  EXPECT_EQ(view.timerSwitches, (std::vector<bool>{true, false}));
}

TEST_F(DeviceLinkTest, NothingIsSentWhileNoPanelIsHeld) {
  FakeDevice& panel = Plug();
  Unplug(panel);
  link.ButtonReadClick();
  link.TimerTimer();
  link.ButtonDelAllSensorClick();
  EXPECT_TRUE(panel.written.empty());
  EXPECT_EQ(link.ReadState(), 2);
}

}  // namespace
}  // namespace zarvex::protocol::testing

namespace zarvex::protocol {
namespace {

// Windows names the panel by its USB product string; Wine's HID stack by the
// hidraw name, manufacturer first. Both, and nothing looser.
TEST(PanelIdentityTest, TheProductStringAndWinesHidrawNameOnly) {
  EXPECT_TRUE(IsPanelProductString("ZARVEX - ZX4110"));
  EXPECT_TRUE(IsPanelProductString("Zarvex ZARVEX - ZX4110"));
  for (const char* other : {"", "ZARVEX", "ZARVEX - ZX4110 ", "Other ZARVEX - ZX4110", "zarvex - zx4110",
                            "ZARVEX - ZX41100", "Zarvex  ZARVEX - ZX4110"}) {
    EXPECT_FALSE(IsPanelProductString(other)) << other;
  }
}

}  // namespace
}  // namespace zarvex::protocol
