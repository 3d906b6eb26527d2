#include "sim/panel_model.h"

#include <gtest/gtest.h>

#include "host_frames.h"

namespace zarvex::sim {
namespace {

using test::Decode;
using test::HostKeyList;
using test::HostWriteText;

constexpr KeyBytes kKeyA = {0x01, 0x0A, 0xFF, 0x00, 0x12, 0x34, 0x56, 0x78};
constexpr KeyBytes kKeyB = {0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x00, 0x00, 0x01};

TEST(PanelKeyLearning, StoreRequestAcknowledgesAndLearnsIntoFreePositions) {
  PanelModel panel(PanelKind::First);
  panel.Keys().Put(5, kKeyB);
  const auto ack = panel.HandleOutputReport(HostWriteText(0xE6, "4,6")).reports;
  ASSERT_EQ(ack.size(), 1u);
  EXPECT_EQ(Decode(ack[0]).kind, 1);
  EXPECT_EQ(Decode(ack[0]).code, 230);

  const auto saved = panel.PresentKey(kKeyA);
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_TRUE(Decode(saved[0]).wellFormed);
  EXPECT_EQ(Decode(saved[0]).kind, 0);
  EXPECT_EQ(Decode(saved[0]).code, 203);
  EXPECT_EQ(Decode(saved[0]).number, 4);
  // Position 5 is taken, so the next key goes to 6, and the range is then full.
  EXPECT_EQ(Decode(panel.PresentKey(kKeyA)[0]).number, 6);
  EXPECT_FALSE(panel.Keys().Learning());
  EXPECT_TRUE(panel.PresentKey(kKeyA).empty());
  EXPECT_EQ(panel.Keys().At(5), kKeyB);
  EXPECT_EQ(panel.Keys().Stored().size(), 3u);
}

TEST(PanelKeyLearning, KeyPresentedWithoutStoreRequestIsNotStored) {
  PanelModel panel(PanelKind::First);
  EXPECT_TRUE(panel.PresentKey(kKeyA).empty());
  EXPECT_TRUE(panel.Keys().Stored().empty());
  PanelModel second(PanelKind::Second);
  EXPECT_TRUE(second.HandleOutputReport(HostWriteText(0xE6, "1,3")).reports.empty());
  EXPECT_TRUE(second.PresentKey(kKeyA).empty());
}

TEST(PanelKeyLearning, RangesOutsideTheRulesAreRefused) {
  PanelModel panel(PanelKind::First);
  for (const char* range : {"0,3", "1,1001", "5,2", "5", "a,3", ",", "1,", "00001,2", ""}) {
    EXPECT_TRUE(panel.HandleOutputReport(HostWriteText(0xE6, range)).reports.empty()) << range;
    EXPECT_TRUE(panel.HandleOutputReport(HostWriteText(0xE7, range)).reports.empty()) << range;
  }
  EXPECT_FALSE(panel.Keys().Learning());
  EXPECT_EQ(ParsePositionRange("5,5"), (PositionRange{5, 5}));
  EXPECT_EQ(ParsePositionRange("1,1000"), (PositionRange{1, 1000}));
}

TEST(PanelKeyList, OneRecordPerKeyInPositionOrderThenTheEnd) {
  PanelModel panel(PanelKind::First);
  panel.Keys().Put(300, kKeyB);
  panel.Keys().Put(3, kKeyA);
  panel.Keys().Put(1000, kKeyA);
  const auto reports = panel.HandleOutputReport(HostKeyList()).reports;
  ASSERT_EQ(reports.size(), 4u);
  const int positions[] = {3, 300, 1000};
  const KeyBytes keys[] = {kKeyA, kKeyB, kKeyA};
  for (int i = 0; i < 3; ++i) {
    const auto& r = reports[std::size_t(i)];
    EXPECT_TRUE(Decode(r).wellFormed);
    EXPECT_EQ(r[3], 0);
    EXPECT_EQ(r[4], 237);
    EXPECT_EQ(r[5] * 256 + r[6], positions[i]);
    EXPECT_TRUE(std::equal(keys[i].begin(), keys[i].end(), r.begin() + 7));
  }
  EXPECT_EQ(Decode(reports[3]).code, 236);
  EXPECT_EQ(Decode(reports[3]).kind, 0);

  PanelModel empty(PanelKind::First);
  const auto none = empty.HandleOutputReport(HostKeyList()).reports;
  ASSERT_EQ(none.size(), 1u);
  EXPECT_EQ(Decode(none[0]).code, 236);
}

TEST(PanelKeyDelete, RangeAndAllAcknowledgeWith231) {
  PanelModel panel(PanelKind::First);
  for (int p : {1, 2, 3, 4, 999, 1000}) panel.Keys().Put(p, kKeyA);
  const auto ack = panel.HandleOutputReport(HostWriteText(0xE7, "2,3")).reports;
  ASSERT_EQ(ack.size(), 1u);
  EXPECT_EQ(Decode(ack[0]).kind, 1);
  EXPECT_EQ(Decode(ack[0]).code, 231);
  for (int p : {1, 2, 3, 4}) EXPECT_EQ(bool(panel.Keys().At(p)), p == 1 || p == 4) << p;

  EXPECT_EQ(panel.HandleOutputReport(HostWriteText(0xE7, "1,1000")).reports.size(), 1u);
  EXPECT_TRUE(panel.Keys().Stored().empty());
}

}  // namespace
}  // namespace zarvex::sim
