#include "sim/panel_model.h"

#include <gtest/gtest.h>

#include "host_frames.h"

namespace zarvex::sim {
namespace {

using test::Decode;
using test::HostQuery;
using test::HostWriteNumber;

TEST(PanelFaults, DroppedAnswerLosesOnlyTheAnswerNotTheWrite) {
  PanelModel panel(PanelKind::First);
  panel.DropNextAnswer();
  EXPECT_TRUE(panel.HandleOutputReport(HostWriteNumber(17, 60)).reports.empty());
  EXPECT_EQ(panel.Configuration().Number(17), 60);
  EXPECT_EQ(panel.HandleOutputReport(HostQuery(17)).reports.size(), 1u);
}

TEST(PanelFaults, FaultsApplyToSuccessiveAnsweredRequestsInOrder) {
  PanelModel panel(PanelKind::First);
  panel.DropNextAnswer();
  panel.ShortenNextAnswer(5);
  // An unanswered request does not use a fault up.
  EXPECT_TRUE(panel.HandleOutputReport(HostQuery(99)).reports.empty());
  EXPECT_TRUE(panel.HandleOutputReport(HostQuery(1)).reports.empty());
  const auto shortened = panel.HandleOutputReport(HostQuery(2)).reports;
  ASSERT_EQ(shortened.size(), 1u);
  EXPECT_EQ(shortened[0], (Report{1, 0xDC, 0xEE, 0, 2}));
  EXPECT_EQ(panel.HandleOutputReport(HostQuery(3)).reports[0].size(), 65u);
}

TEST(PanelFaults, HeldAnswersComeOutOnReleaseInOrder) {
  PanelModel panel(PanelKind::First);
  panel.Keys().Put(7, KeyBytes{1, 2, 3, 4, 5, 6, 7, 8});
  panel.HoldNextAnswer();
  panel.HoldNextAnswer();
  EXPECT_TRUE(panel.HandleOutputReport(HostQuery(200)).reports.empty());
  EXPECT_TRUE(panel.HandleOutputReport(test::HostKeyList()).reports.empty());
  const auto held = panel.ReleaseHeldAnswers();
  ASSERT_EQ(held.size(), 3u);
  EXPECT_EQ(Decode(held[0]).code, 200);
  EXPECT_EQ(Decode(held[1]).code, 237);
  EXPECT_EQ(Decode(held[2]).code, 236);
  EXPECT_TRUE(panel.ReleaseHeldAnswers().empty());
}

TEST(PanelFaults, OtherParameterAnswersItsValueOrItsNumber) {
  PanelModel panel(PanelKind::First);
  panel.AnswerOtherParameter(43);
  const auto value = Decode(panel.HandleOutputReport(HostQuery(17)).reports.at(0));
  EXPECT_EQ(value.code, 43);
  EXPECT_EQ(value.number, 120);  // siren time, not the test period

  panel.AnswerOtherParameter(10);
  const auto ack = Decode(panel.HandleOutputReport(HostWriteNumber(30, 2)).reports.at(0));
  EXPECT_EQ(ack.kind, 1);
  EXPECT_EQ(ack.code, 10);
  EXPECT_EQ(panel.Configuration().Number(30), 2);  // stored where it was sent
}

TEST(PanelFaults, LongAndMalformedAnswers) {
  PanelModel panel(PanelKind::First);
  panel.LengthenNextAnswer(80);
  panel.MalformNextAnswer(Malformation::WrongMark);
  panel.MalformNextAnswer(Malformation::WrongDirection);
  panel.MalformNextAnswer(Malformation::UnknownKind);
  const auto longReport = panel.HandleOutputReport(HostQuery(17)).reports.at(0);
  ASSERT_EQ(longReport.size(), 80u);
  EXPECT_EQ(Decode(Report(longReport.begin(), longReport.begin() + 65)).number, 720);
  EXPECT_EQ(longReport[79], 0xA5);
  EXPECT_NE(panel.HandleOutputReport(HostQuery(17)).reports.at(0)[1], 0xDC);
  EXPECT_EQ(panel.HandleOutputReport(HostQuery(17)).reports.at(0)[2], 0xED);
  const auto unknown = panel.HandleOutputReport(HostQuery(17)).reports.at(0);
  EXPECT_NE(unknown[3], 0);
  EXPECT_NE(unknown[3], 1);
  EXPECT_EQ(Malformed(Report{1}, Malformation::UnknownKind).size(), 4u);
}

TEST(PanelFaults, UnplugsAtTheNthRequestWithoutAnsweringIt) {
  PanelModel panel(PanelKind::First);
  panel.UnplugAfterRequests(3);
  EXPECT_FALSE(panel.HandleOutputReport(HostQuery(1)).unplug);
  EXPECT_FALSE(panel.HandleOutputReport(HostQuery(2)).unplug);
  const auto third = panel.HandleOutputReport(HostQuery(3));
  EXPECT_TRUE(third.unplug);
  EXPECT_TRUE(third.reports.empty());
  EXPECT_TRUE(panel.Unplugged());
  // Gone: nothing answered, nothing recorded, nothing learnt.
  const auto after = panel.HandleOutputReport(HostQuery(4));
  EXPECT_TRUE(after.reports.empty());
  EXPECT_FALSE(after.unplug);
  EXPECT_EQ(panel.ReceivedReports().size(), 3u);

  panel.Replug();
  EXPECT_EQ(panel.HandleOutputReport(HostQuery(4)).reports.size(), 1u);
}

}  // namespace
}  // namespace zarvex::sim
