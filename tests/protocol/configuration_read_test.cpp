#include <gtest/gtest.h>

#include <string>

#include "link_harness.h"
#include "panel_replies.h"

namespace zarvex::protocol::testing {
namespace {

// A panel's configuration, in the panel's encodings.
TCFG PanelConfiguration() {
  TCFG p;
  p.KeypadCode0 = "1111";
  for (int k = 0; k < 10; ++k) p.KeypadCode[static_cast<size_t>(k)] = std::to_string(2000 + k);
  for (int k = 0; k < 8; ++k) p.Phone[static_cast<size_t>(k)] = "+7900000000" + std::to_string(k);
  p.AccessPoint = "internet.mts.ru";
  p.AuxText1 = "x1";
  p.AuxText2 = "x2";
  p.ServerAddress = "10.0.0.1:5000";
  p.ReserveAddress = "10.0.0.2";
  p.AuxValue7 = 1;
  p.AuxText3 = "1";
  p.TestPeriod = 720;
  p.ArmDelay = 301;
  for (int k = 0; k < 7; ++k) {
    p.InputDelay[static_cast<size_t>(k)] = 11 + k;
    p.InputType[static_cast<size_t>(k)] = k % 6;
    p.SirenOnInput[static_cast<size_t>(k)] = k % 2;
  }
  p.CallMode = 2;
  p.AutonomousOff = 1;
  p.MaxSmsPerDay = 30;
  p.SirenTime = 120;
  p.LockPulse = 11;
  p.OptionFlags = 5;
  p.AuxValue6 = 13;
  p.ReaderType = 1;
  for (int k = 0; k < kEventSlots; ++k) {
    p.SmsEvents[static_cast<size_t>(k)] = k < 14 ? 1 : 0;
    p.CallEvents[static_cast<size_t>(k)] = (k >= 1 && k <= 6) ? 1 : 0;
  }
  BuildEventMasks(p);
  for (int k = 0; k < 6; ++k) p.InputName[static_cast<size_t>(k)] = "Loop " + std::to_string(k + 1);
  p.TamperName() = "Tamper";
  p.VpnAndId = "0654321";
  return p;
}

// The panel's value report for one parameter, written out independently of
// the link's table.
Report PanelReply(int n, const TCFG& p, bool vpnRule) {
  const auto code = static_cast<uint8_t>(n);
  auto at = [n](int first) { return static_cast<size_t>(n - first); };
  if (n == 1) {
    std::string codes = p.KeypadCode0;
    for (const auto& c : p.KeypadCode) codes += c;
    return ValueText(code, codes);
  }
  if (n <= 9) return ValueText(code, p.Phone[at(2)]);
  if (n <= 14) {
    const std::string* texts[] = {&p.AccessPoint, &p.AuxText1, &p.AuxText2, &p.ServerAddress,
                                  &p.ReserveAddress};
    return ValueText(code, *texts[at(10)]);
  }
  if (n == 15) return ValueNumber(code, p.AuxValue7);
  if (n == 16) return ValueText(code, p.AuxText3);
  if (n <= 18) return ValueNumber(code, n == 17 ? p.TestPeriod : p.ArmDelay);
  if (n <= 25) return ValueNumber(code, p.InputDelay[at(19)]);
  if (n <= 32) return ValueNumber(code, p.InputType[at(26)]);
  if (n <= 39) return ValueNumber(code, p.SirenOnInput[at(33)]);
  const int32_t numbers[] = {p.CallMode, p.AutonomousOff, p.MaxSmsPerDay, p.SirenTime,
                             p.LockPulse, p.OptionFlags, p.AuxValue6, p.ReaderType};
  if (n <= 47) return ValueNumber(code, numbers[at(40)]);
  if (n == 48) return ValueText(code, p.SmsEventMask);
  if (n == 49) return ValueText(code, p.CallEventMask);
  if (n <= 54) return ValueText(code, p.InputName[at(50)]);
  if (n == 55) return ValueText(code, vpnRule ? p.VpnAndId : p.InputName[5]);
  return ValueText(code, p.TamperName());
}

class ConfigurationReadTest : public ::testing::Test, public LinkHarness {};

TEST_F(ConfigurationReadTest, FullReadAsksEachParameterOnceAndShowsTheSettingsOnceAtTheEnd) {
  FakeDevice& panel = Connect(430);
  link.ButtonWriteKeysClick("5", "2");  // leaves "5,5" in bytes 7..9
  const Report before = panel.written.back();
  const TCFG untouched = cfg;
  const TCFG p = PanelConfiguration();
  view.progressPositions.clear();

  link.ButtonReadClick();
  EXPECT_FALSE(view.progressSmooth);
  for (int n = 1; n <= 56; ++n) {
    EXPECT_EQ(link.ReadState(), 1);
    link.TimerTimer();
    EXPECT_EQ(link.ReadState(), 2);
    link.TimerTimer();  // nothing more until the reply
    const Report& q = panel.written.back();
    ASSERT_EQ(q.size(), 65u);
    ASSERT_EQ(Bytes(q, 0, 7), (Report{1, 0xDC, 0xED, 0x20, static_cast<uint8_t>(n), 3, 4})) << n;
    EXPECT_TRUE(std::equal(q.begin() + 7, q.end(), before.begin() + 7)) << n;
    EXPECT_EQ(view.showSettingsCount, 0);
    Feed(panel, PanelReply(n, p, false));
  }
  EXPECT_EQ(panel.written.size(), 2u + 1u + 56u);
  EXPECT_EQ(view.showSettingsCount, 1);
  EXPECT_TRUE(view.progressSmooth);
  EXPECT_EQ(link.ReadState(), 0);
  EXPECT_EQ(link.ReadStep(), 57);
  EXPECT_EQ(view.progressPositions, Positions(2, 57));

  TCFG expected = p;
  expected.AuxValue1 = untouched.AuxValue1;
  expected.AuxValue2 = untouched.AuxValue2;
  expected.DeviceType = untouched.DeviceType;
  expected.FirmwareVersion = 430;
  expected.VpnAndId = untouched.VpnAndId;  // version 430: parameter 55 is InputName6
  EXPECT_EQ(cfg, expected);
}

TEST_F(ConfigurationReadTest, Parameter55GoesToVpnAndIdOnlyForAutonomousOffOnFirmware441To499) {
  FakeDevice& panel = Plug();
  const struct {
    int32_t version;
    bool vpnWhenOff;
  } cases[] = {{440, false}, {441, true}, {499, true}, {500, false}};
  for (const auto& c : cases) {
    for (int32_t autonomousOff : {0, 1}) {
      SCOPED_TRACE(::testing::Message() << c.version << "/" << autonomousOff);
      const bool vpn = autonomousOff == 1 && c.vpnWhenOff;
      cfg.FirmwareVersion = c.version;
      cfg.AutonomousOff = autonomousOff;
      cfg.VpnAndId = "vpn";
      cfg.InputName[5] = "name";
      Feed(panel, ValueText(55, "new"));
      EXPECT_EQ(cfg.VpnAndId, vpn ? "new" : "vpn");
      EXPECT_EQ(cfg.InputName[5], vpn ? "name" : "new");
    }
  }
}

TEST_F(ConfigurationReadTest, Parameter55UsesTheAutonomousOffJustRead) {
  FakeDevice& panel = Connect(450);
  cfg.AutonomousOff = 0;
  Feed(panel, ValueNumber(41, 1));
  Feed(panel, ValueText(55, "1777777"));
  EXPECT_EQ(cfg.VpnAndId, "1777777");
}

TEST_F(ConfigurationReadTest, EventSlotsComeFromSixteenBytesAndRebuildBothMasks) {
  FakeDevice& panel = Plug();
  cfg.CallEvents.fill(1);
  Feed(panel, ValueBytes(48, "1000000000000001"));  // length byte stays 0
  EXPECT_EQ(cfg.SmsEvents[0], 1);
  EXPECT_EQ(cfg.SmsEvents[15], 1);
  for (int k = 1; k < 15; ++k) EXPECT_EQ(cfg.SmsEvents[static_cast<size_t>(k)], 0);
  EXPECT_EQ(cfg.SmsEventMask, "1000000000000001");
  EXPECT_EQ(cfg.CallEventMask, "1111111111111111");
  Feed(panel, ValueBytes(49, "0200000000000000"));
  EXPECT_EQ(cfg.CallEvents[1], 2);
  EXPECT_EQ(cfg.CallEventMask, "0200000000000000");
}

TEST_F(ConfigurationReadTest, ShortKeypadTextLeavesLaterCodesShortOrEmpty) {
  FakeDevice& panel = Plug();
  cfg.KeypadCode.fill("9999");
  Feed(panel, ValueText(1, "11112222333"));
  EXPECT_EQ(cfg.KeypadCode0, "1111");
  EXPECT_EQ(cfg.KeypadCode, (decltype(cfg.KeypadCode){"2222", "333"}));
}

TEST_F(ConfigurationReadTest, StoresTheParameterTheReportNamesAndCountsReportsNotParameters) {
  FakeDevice& panel = Connect(430);
  link.ButtonReadClick();
  link.TimerTimer();                    // asks for 1
  Feed(panel, ValueNumber(17, 600));    // answers 17 instead
  EXPECT_EQ(cfg.TestPeriod, 600);
  link.TimerTimer();
  EXPECT_EQ(panel.written.back()[4], 2);  // parameter 1 is skipped

  // A key record while 2 is awaited makes the next tick ask for 3.
  Feed(panel, KeyRecord(1, {1, 2, 3, 4, 5, 6, 7, 8}));
  link.TimerTimer();
  EXPECT_EQ(panel.written.back()[4], 3);
}

TEST_F(ConfigurationReadTest, EnumerationStopsTheReadAndANewClickStartsOver) {
  FakeDevice& panel = Connect(430);
  link.ButtonReadClick();
  for (int n = 1; n <= 5; ++n) {
    link.TimerTimer();
    Feed(panel, ValueNumber(static_cast<uint8_t>(n + 14), 1));
  }
  bus.Plug("USB Keyboard");
  link.HIDDeviceChange();
  EXPECT_EQ(link.ReadState(), 0);
  EXPECT_EQ(link.ReadStep(), 254);
  const size_t sent = panel.written.size();
  link.TimerTimer();  // the type query of the new identification, no read request
  ASSERT_EQ(panel.written.size(), sent + 1);
  EXPECT_EQ(panel.written.back()[4], 200);
  link.ButtonReadClick();
  link.TimerTimer();
  EXPECT_EQ(panel.written.back()[4], 1);
}

TEST_F(ConfigurationReadTest, UnplugInTheMiddleOfAReadSendsNothingMore) {
  FakeDevice& panel = Connect(430);
  link.ButtonReadClick();
  link.TimerTimer();
  Feed(panel, ValueText(1, "1111"));
  Unplug(panel);
  const size_t sent = panel.written.size();
  for (int k = 0; k < 5; ++k) link.TimerTimer();
  EXPECT_EQ(panel.written.size(), sent);
  // No device is left to offer, so no enumeration resets the state; the due
  // request found no panel to go to.
  EXPECT_EQ(link.ReadState(), 2);
  EXPECT_EQ(view.showSettingsCount, 0);
  EXPECT_FALSE(view.timerRunning);
}

TEST_F(ConfigurationReadTest, WriteClickLeavesReadStepZeroSoTheNextValueReportStartsAFullRead) {
  FakeDevice& panel = Connect(520);
  link.ButtonWriteClick();
  EXPECT_EQ(link.ReadStep(), 0);
  Feed(panel, ValueText(202, std::string(30, '0')));  // any value report
  EXPECT_EQ(link.ReadStep(), 1);
  EXPECT_EQ(link.ReadState(), 1);
}

}  // namespace
}  // namespace zarvex::protocol::testing
