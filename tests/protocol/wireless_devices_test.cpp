#include "protocol/wireless_devices.h"

#include <gtest/gtest.h>

#include <string>

#include "link_harness.h"
#include "panel_replies.h"

namespace zarvex::protocol::testing {
namespace {

class WirelessDevicesTest : public ::testing::Test, public LinkHarness {
 protected:
  // Bytes 3, 4 and 10 of the last report, with the number frame checked.
  std::array<int, 3> Command() const {
    const Report& r = panel.written.back();
    EXPECT_EQ(Bytes(r, 1, 3), (Report{0xDC, 0xED}));
    EXPECT_EQ(Bytes(r, 5, 7), (Report{3, 4}));
    return {r[3], r[4], r[10]};
  }
  size_t Sent() const { return panel.written.size(); }
  FakeDevice& panel = Connect(520);
};

TEST_F(WirelessDevicesTest, DeviceCodes) {
  using Command3 = std::array<int, 3>;
  link.ButtonWriteTrinketClick("1x");
  EXPECT_EQ(Command(), (Command3{0x10, 0xE6, 1}));
  link.ButtonDelTrinketClick("10");
  EXPECT_EQ(Command(), (Command3{0x10, 0xE7, 10}));
  link.ButtonDelAllTrinketClick();
  EXPECT_EQ(Command(), (Command3{0x10, 0xE7, 11}));
  link.ButtonWriteSensorClick("10", true);
  EXPECT_EQ(Command(), (Command3{0x10, 0xE6, 39}));
  link.ButtonDelSensorClick("1", false);
  EXPECT_EQ(Command(), (Command3{0x10, 0xE7, 40}));
  link.ButtonDelAllSensorClick();
  EXPECT_EQ(Command(), (Command3{0x10, 0xE7, 50}));
  EXPECT_EQ(Bytes(panel.written.back(), 7, 10), (Report{0, 0, 0}));
}

TEST_F(WirelessDevicesTest, NumbersOutside1To10SendNothing) {
  const size_t sent = Sent();
  for (const char* text : {"0", "11", "", "x"}) {
    link.ButtonWriteTrinketClick(text);
    link.ButtonDelTrinketClick(text);
    link.ButtonWriteSensorClick(text, true);
    link.ButtonDelSensorClick(text, false);
  }
  EXPECT_EQ(Sent(), sent);
}

TEST_F(WirelessDevicesTest, PairingAKeyFobNeedsFirmwareAbove500ButDeletingDoesNot) {
  cfg.FirmwareVersion = 500;
  const size_t sent = Sent();
  link.ButtonWriteTrinketClick("3");
  EXPECT_EQ(Sent(), sent);
  link.ButtonDelTrinketClick("3");
  EXPECT_EQ(Sent(), sent + 1);
  cfg.FirmwareVersion = 430;  // sensors test no version
  link.ButtonWriteSensorClick("2", true);
  EXPECT_EQ(Command(), (std::array<int, 3>{0x10, 0xE6, 31}));
}

TEST_F(WirelessDevicesTest, ListQuerySetsOnlyBytesOneToSix) {
  link.ButtonDelAllSensorClick();  // 0, 0, 0, 50 in bytes 7..10
  link.ButtonReadWireLessClick();
  EXPECT_EQ(Bytes(panel.written.back(), 0, 11),
            (Report{1, 0xDC, 0xED, 0x20, 0xCA, 3, 4, 0, 0, 0, 50}));
}

TEST_F(WirelessDevicesTest, ListReplyRebuildsBothLabels) {
  std::string flags(30, '0');
  flags[0] = '1';
  flags[3] = '1';
  flags[21] = '1';
  Feed(panel, ValueText(202, flags));
  EXPECT_EQ(view.trinkets, "Брелоки: 1, 4");
  EXPECT_EQ(view.sensors, "Датчики: 4(2)");

  Feed(panel, ValueText(202, std::string(30, '0')));
  EXPECT_EQ(view.trinkets, "Брелоки: пусто");
  EXPECT_EQ(view.sensors, "Датчики: пусто");

  Feed(panel, ValueText(202, std::string(30, '1')));
  EXPECT_EQ(view.trinkets, "Брелоки: 1, 2, 3, 4, 5, 6, 7, 8, 9, 10");
  EXPECT_EQ(view.sensors,
            "Датчики: 3(1), 3(2), 3(3), 3(4), 3(5), 3(6), 3(7), 3(8), 3(9), 3(10), "
            "4(1), 4(2), 4(3), 4(4), 4(5), 4(6), 4(7), 4(8), 4(9), 4(10)");
}

TEST_F(WirelessDevicesTest, MissingCharactersOfAShortReplyCountAsNotPaired) {
  // The longer reply before leaves '1' bytes behind the short one's end.
  Feed(panel, ValueText(202, std::string(30, '1')));
  Feed(panel, ValueText(202, "01"));
  EXPECT_EQ(view.trinkets, "Брелоки: 2");
  EXPECT_EQ(view.sensors, "Датчики: пусто");
  EXPECT_EQ(SensorsCaption(std::string(15, '0') + "2"), "Датчики: пусто");
}

TEST_F(WirelessDevicesTest, DeleteAcknowledgementShowsItsMessageAndListReplyAdvancesTheRead) {
  Feed(panel, Ack(231));
  EXPECT_EQ(view.messages, (std::vector<std::string>{"Код(ы) удален(ы)"}));
  const int32_t step = link.ReadStep();
  Feed(panel, ValueText(202, "1"));
  EXPECT_EQ(link.ReadStep(), step + 1);
}

}  // namespace
}  // namespace zarvex::protocol::testing
