#include "sim/panel_model.h"

#include <gtest/gtest.h>

#include "host_frames.h"

namespace zarvex::sim {
namespace {

using test::Decode;
using test::HostQuery;
using test::HostWriteNumber;

std::string Presence(PanelModel& panel) {
  const auto reports = panel.HandleOutputReport(HostQuery(0xCA)).reports;
  EXPECT_EQ(reports.size(), 1u);
  if (reports.empty()) return {};
  EXPECT_EQ(reports[0][5], 30);
  EXPECT_EQ(Decode(reports[0]).code, 202);
  EXPECT_EQ(Decode(reports[0]).kind, 0);
  return Decode(reports[0]).text;
}

TEST(PanelPairing, AcknowledgesThenPairsWhenTheDeviceAnswers) {
  PanelModel panel(PanelKind::Second);
  EXPECT_EQ(Presence(panel), std::string(30, '0'));
  const auto ack = panel.HandleOutputReport(HostWriteNumber(0xE6, 4)).reports;
  ASSERT_EQ(ack.size(), 1u);
  EXPECT_EQ(Decode(ack[0]).kind, 1);
  EXPECT_EQ(Decode(ack[0]).code, 230);
  EXPECT_FALSE(panel.Wireless().IsPaired(4));  // waits for the device

  const auto saved = panel.AnswerPairing();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(Decode(saved[0]).code, 203);
  EXPECT_EQ(Decode(saved[0]).kind, 0);
  EXPECT_TRUE(panel.AnswerPairing().empty());  // nothing waits any more
  EXPECT_EQ(Presence(panel), "0001000000" "0000000000" "0000000000");
}

TEST(PanelPairing, SensorCodesMapToTheirLoops) {
  PanelModel panel(PanelKind::Second);
  for (int code : {1, 10, 30, 39, 40, 49}) {
    ASSERT_EQ(panel.HandleOutputReport(HostWriteNumber(0xE6, uint32_t(code))).reports.size(), 1u) << code;
    panel.AnswerPairing();
  }
  // Sensor 10 on loop 3 is code 39, sensor 1 on loop 4 is code 40.
  EXPECT_EQ(Presence(panel), "1000000001" "1000000001" "1000000001");
}

TEST(PanelPairing, CodesNamingNoSingleDeviceAreRefused) {
  PanelModel panel(PanelKind::Second);
  for (uint32_t code : {0u, 11u, 29u, 50u, 51u, 256u + 4u}) {
    EXPECT_TRUE(panel.HandleOutputReport(HostWriteNumber(0xE6, code)).reports.empty()) << code;
  }
  EXPECT_FALSE(panel.Wireless().PendingPairing());
  PanelModel first(PanelKind::First);
  EXPECT_TRUE(first.HandleOutputReport(HostWriteNumber(0xE6, 4)).reports.empty());
  EXPECT_TRUE(first.HandleOutputReport(HostQuery(0xCA)).reports.empty());
  EXPECT_TRUE(first.AnswerPairing().empty());
  EXPECT_TRUE(panel.HandleOutputReport(test::HostKeyList()).reports.empty());  // no keys on this model
}

TEST(PanelWirelessDelete, SingleAllFobsAndAllSensorsAcknowledgeWith231) {
  PanelModel panel(PanelKind::Second);
  for (int code = 1; code <= 10; ++code) panel.Wireless().Pair(code);
  for (int code = 30; code <= 49; ++code) panel.Wireless().Pair(code);
  ASSERT_EQ(Presence(panel), std::string(30, '1'));

  auto del = [&](uint32_t code) {
    const auto ack = panel.HandleOutputReport(HostWriteNumber(0xE7, code)).reports;
    EXPECT_EQ(ack.size(), 1u) << code;
    if (!ack.empty()) {
      EXPECT_EQ(Decode(ack[0]).kind, 1);
      EXPECT_EQ(Decode(ack[0]).code, 231);
    }
  };
  del(2);
  del(41);
  EXPECT_EQ(Presence(panel), "1011111111" "1111111111" "1011111111");
  del(11);
  EXPECT_EQ(Presence(panel), "0000000000" "1111111111" "1011111111");
  del(50);
  EXPECT_EQ(Presence(panel), std::string(30, '0'));
  EXPECT_TRUE(panel.HandleOutputReport(HostWriteNumber(0xE7, 12)).reports.empty());
}

}  // namespace
}  // namespace zarvex::sim
