#include "protocol/key_list.h"

#include <gtest/gtest.h>

#include <string>

#include "link_harness.h"
#include "panel_replies.h"

namespace zarvex::protocol::testing {
namespace {

class AccessKeysTest : public ::testing::Test, public LinkHarness {
 protected:
  size_t Sent() const { return panel.written.size(); }
  std::string RangeSent() const { return TextSent(panel.written.back()); }
  FakeDevice& panel = Connect(430);
};

TEST_F(AccessKeysTest, RangeCommandsCarryMinCommaMax) {
  link.ButtonWriteKeysClick("5", "2");
  EXPECT_EQ(Bytes(panel.written.back(), 0, 7), (Report{1, 0xDC, 0xED, 0x10, 0xE6, 4, 3}));
  EXPECT_EQ(RangeSent(), "5,5");
  link.ButtonDelKeysClick("1a0", "0020");
  EXPECT_EQ(panel.written.back()[4], 0xE7);
  EXPECT_EQ(RangeSent(), "10,20");
}

TEST_F(AccessKeysTest, BoundsOutside1To1000SendNothing) {
  const size_t sent = Sent();
  link.ButtonWriteKeysClick("0", "3");
  link.ButtonWriteKeysClick("1", "1001");
  link.ButtonDelKeysClick("", "5");
  link.ButtonDelKeysClick("abc", "5");
  EXPECT_EQ(Sent(), sent);
  EXPECT_TRUE(view.messages.empty());
  link.ButtonWriteKeysClick("1000", "1000");
  EXPECT_EQ(RangeSent(), "1000,1000");
}

TEST_F(AccessKeysTest, DeleteAllSendsTheWholeRangeWithoutReadingTheBoxes) {
  link.ButtonDelAllKeysClick();
  EXPECT_EQ(Bytes(panel.written.back(), 4, 7), (Report{0xE7, 4, 6}));
  EXPECT_EQ(RangeSent(), "1,1000");
}

TEST_F(AccessKeysTest, ListCommandSetsByteSevenAndLeavesEightToTen) {
  link.ButtonWriteKeysClick("123", "456");  // "123,456" in bytes 7..13
  link.ButtonReadKeysClick();
  EXPECT_EQ(Bytes(panel.written.back(), 0, 11),
            (Report{1, 0xDC, 0xED, 0x10, 0xE8, 3, 4, 0, '2', '3', ','}));
  EXPECT_FALSE(view.progressSmooth);
  EXPECT_EQ(view.keyRows.size(), 1u);
}

TEST_F(AccessKeysTest, SecondModelFirmwareSilencesEveryKeyCommand) {
  cfg.FirmwareVersion = 520;  // as a loaded settings file leaves it
  const size_t sent = Sent();
  link.ButtonWriteKeysClick("1", "3");
  link.ButtonDelKeysClick("1", "3");
  link.ButtonDelAllKeysClick();
  link.ButtonReadKeysClick();
  EXPECT_EQ(Sent(), sent);
  Feed(panel, ValueNumber(201, 430));  // the panel reports its own version
  link.ButtonDelAllKeysClick();
  EXPECT_EQ(Sent(), sent + 1);
}

TEST_F(AccessKeysTest, DuplicateMarkNamesTheFirstEarlierRowAndProgressFollowsThePosition) {
  link.ButtonReadKeysClick();
  const std::array<uint8_t, 8> same{0x0A, 0xFF, 0, 1, 2, 3, 4, 5};
  Feed(panel, KeyRecord(3, same));
  Feed(panel, KeyRecord(7, same));
  Feed(panel, KeyRecord(500, {1, 1, 1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(view.progressPosition, 28);
  Feed(panel, KeyRecord(9, same));
  ASSERT_EQ(view.keyRows.size(), 5u);
  using Row = FakePanelView::KeyGridRow;
  const std::string key = "0A-FF-00-01-02-03-04-05";
  const Row title = view.keyRows[0], other{"500", "01-01-01-01-01-01-01-01", ""};
  EXPECT_EQ(view.keyRows,
            (std::vector<Row>{title, {"3", key, ""}, {"7", key, "3"}, other, {"9", key, "3"}}));
  EXPECT_EQ(link.KeyList().KeyCount(), 4);

  Feed(panel, KeyListEnd());
  EXPECT_TRUE(view.progressSmooth);
  EXPECT_EQ(view.progressPosition, 56);

  link.ButtonReadKeysClick();  // a second listing starts without marks
  Feed(panel, KeyRecord(7, same));
  ASSERT_EQ(view.keyRows.size(), 2u);
  EXPECT_EQ(view.keyRows[1], (Row{"7", key, ""}));
}

TEST_F(AccessKeysTest, PositionComesFromBytesFiveAndSixHighFirst) {
  Feed(panel, KeyRecord(1000, {}));  // a record without a listing is shown all the same
  EXPECT_EQ(view.keyRows.back().position, "1000");
  EXPECT_EQ(view.progressPosition, 56);
  EXPECT_FALSE(view.progressSmooth);
}

TEST_F(AccessKeysTest, CodeSavedShowsItsMessage) {
  Feed(panel, CodeSaved());
  EXPECT_EQ(view.messages, (std::vector<std::string>{"Код сохранен"}));
}

TEST_F(AccessKeysTest, KeyRepliesAdvanceTheReadAndTheirAcknowledgementsEndAWrite) {
  link.ButtonWriteClick();
  link.TimerTimer();
  Feed(panel, Ack(230));
  EXPECT_EQ(link.WriteState(), 0);
  EXPECT_EQ(link.WriteStep(), 0);
  Feed(panel, KeyRecord(1, {}));  // first data reply after the write click
  EXPECT_EQ(link.ReadStep(), 1);
  EXPECT_EQ(link.ReadState(), 1);
}

TEST(KeyTextTest, UpperCaseHexPairsJoinedByDashes) {
  EXPECT_EQ(ByteToHex(0x0A), "0A");
  EXPECT_EQ(ByteToHex(0xF0), "F0");
  EXPECT_EQ(KeyText({0, 0x1B, 0xFF, 0x10, 0xab, 9, 0x99, 0xC3}), "00-1B-FF-10-AB-09-99-C3");
}

TEST(KeyListTest, ThousandKeysWithDuplicatesMarkEachCopyWithTheFirstPosition) {
  KeyList keys;
  for (int position = 1; position <= 1000; ++position) {
    const int id = position <= 900 ? position : position - 900;  // the last 100 repeat keys 1..100
    keys.Add(position, {static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id), 0, 0, 0, 0, 0, 0});
  }
  EXPECT_EQ(keys.KeyCount(), 1000);
  EXPECT_EQ(keys.Row(900).duplicate, "");
  EXPECT_EQ(keys.Row(901).duplicate, "1");
  EXPECT_EQ(keys.Row(1000).duplicate, "100");
  keys.Clear();
  EXPECT_EQ(keys.KeyCount(), 0);
  keys.Add(5, {});
  EXPECT_EQ(keys.Row(1).duplicate, "");
}

}  // namespace
}  // namespace zarvex::protocol::testing
