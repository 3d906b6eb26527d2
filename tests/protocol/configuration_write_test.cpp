#include <gtest/gtest.h>

#include <string>

#include "link_harness.h"
#include "panel_replies.h"

namespace zarvex::protocol::testing {
namespace {

class ConfigurationWriteTest : public ::testing::Test, public LinkHarness {
 protected:
  // Runs the write machine, acknowledging every step as the panel does.
  void AcknowledgeUntilIdle(FakeDevice& panel) {
    for (int guard = 0; guard < 100 && link.WriteState() != 0; ++guard) {
      link.TimerTimer();
      Feed(panel, Ack(panel.written.back()[4]));
    }
  }
  // Acknowledges `step` and returns the step the next tick sends.
  const Report& StepAfter(FakeDevice& panel, uint8_t step) {
    Feed(panel, Ack(step));
    link.TimerTimer();
    return panel.written.back();
  }
  static int32_t NumberOf(const Report& r) {
    EXPECT_EQ(Bytes(r, 5, 9), (Report{3, 4, 0, 0}));
    return r[9] * 256 + r[10];
  }
};

TEST_F(ConfigurationWriteTest, FullWriteSendsWhatTheCollectLeftInTheRecord) {
  FakeDevice& panel = Connect(430);
  // The window's collect forces these fields; the link must send the record
  // as the collect left it, not as the panel or the file had it.
  cfg.AuxValue4() = 9;
  cfg.AuxText3 = "panel";
  view.onCollect = [this] {
    cfg.KeypadCode0 = "1234";
    for (auto& c : cfg.KeypadCode) c = "5678";
    cfg.Phone.fill("*");
    cfg.AuxText1.clear();
    cfg.AuxText2.clear();
    cfg.AuxText3 = "1";
    cfg.AuxValue4() = 3;
    cfg.AuxValue6 = 13;
    cfg.AuxValue7 = 1;
    cfg.TestPeriod = 720;
    cfg.AutonomousOff = 0;
    cfg.SmsEvents.fill(1);
    BuildEventMasks(cfg);
    cfg.InputName[5] = "Alarm Input6";
    cfg.TamperName() = "Tamper";
  };
  view.progressPositions.clear();
  link.ButtonWriteClick();
  EXPECT_EQ(view.collectCount, 1);
  EXPECT_FALSE(view.progressSmooth);
  EXPECT_EQ(link.ReadStep(), 0);
  const size_t first = panel.written.size();
  AcknowledgeUntilIdle(panel);

  ASSERT_EQ(panel.written.size(), first + 56);
  auto step = [&](int n) -> const Report& { return panel.written[first + size_t(n) - 1]; };
  for (int n = 1; n <= 56; ++n) {
    EXPECT_EQ(Bytes(step(n), 0, 5), (Report{1, 0xDC, 0xED, 0x10, static_cast<uint8_t>(n)}));
  }
  EXPECT_EQ(step(1)[6], 44);
  EXPECT_EQ(TextSent(step(1)), "1234" + std::string() + "5678567856785678567856785678567856785678");
  EXPECT_EQ(TextSent(step(2)), "*");
  EXPECT_EQ(TextSent(step(11)), "");
  EXPECT_EQ(NumberOf(step(15)), 1);
  EXPECT_EQ(TextSent(step(16)), "1");
  EXPECT_EQ(NumberOf(step(17)), 720);
  EXPECT_EQ(NumberOf(step(32)), 3);
  EXPECT_EQ(NumberOf(step(46)), 13);
  EXPECT_EQ(TextSent(step(48)), "1111111111111111");
  EXPECT_EQ(TextSent(step(55)), "Alarm Input6");
  EXPECT_EQ(TextSent(step(56)), "Tamper");

  EXPECT_EQ(view.progressPositions, Positions(2, 57));
  EXPECT_TRUE(view.progressSmooth);
  EXPECT_EQ(link.WriteState(), 0);
  EXPECT_EQ(link.WriteStep(), 0);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(view.showSettingsCount, 0);
}

TEST_F(ConfigurationWriteTest, Step55FollowsTheVersionRule) {
  FakeDevice& panel = Connect(499);
  cfg.VpnAndId = "1123456";
  cfg.InputName[5] = "Six";
  cfg.AutonomousOff = 1;
  EXPECT_EQ(TextSent(StepAfter(panel, 54)), "1123456");
  cfg.FirmwareVersion = 500;
  EXPECT_EQ(TextSent(StepAfter(panel, 54)), "Six");
}

TEST_F(ConfigurationWriteTest, LongTextIsSentAsItsFirst58Characters) {
  FakeDevice& panel = Connect(430);
  cfg.AccessPoint = std::string(70, 'a');
  const Report& sent = StepAfter(panel, 9);
  EXPECT_EQ(sent[6], 58);
  EXPECT_EQ(TextSent(sent), std::string(58, 'a'));
}

TEST_F(ConfigurationWriteTest, AcknowledgementWithNoWriteRunningStartsAtTheNextStep) {
  FakeDevice& panel = Connect(430);
  cfg.ArmDelay = 5;
  cfg.InputDelay[0] = 77;
  const size_t first = panel.written.size();
  Feed(panel, Ack(20));
  EXPECT_EQ(link.WriteState(), 1);
  EXPECT_EQ(link.WriteStep(), 21);
  AcknowledgeUntilIdle(panel);
  ASSERT_EQ(panel.written.size(), first + 36);  // steps 21..56
  EXPECT_EQ(panel.written[first][4], 21);
  EXPECT_EQ(panel.written.back()[4], 56);
  EXPECT_EQ(view.collectCount, 0);
}

TEST_F(ConfigurationWriteTest, NextStepIsTheAcknowledgedNumberPlusOne) {
  FakeDevice& panel = Connect(430);
  link.ButtonWriteClick();
  for (int n = 1; n < 30; ++n) {
    link.TimerTimer();
    Feed(panel, Ack(static_cast<uint8_t>(n)));
  }
  link.TimerTimer();
  EXPECT_EQ(panel.written.back()[4], 30);
  EXPECT_EQ(StepAfter(panel, 10)[4], 11);
}

TEST_F(ConfigurationWriteTest, EnumerationWithAnAcknowledgementOutstandingGoesOnFromTheNextStep) {
  FakeDevice& panel = Connect(430);
  link.ButtonWriteClick();
  link.TimerTimer();
  Feed(panel, Ack(1));
  link.TimerTimer();  // step 2 sent, awaiting its acknowledgement
  bus.Plug("USB Mouse");
  link.HIDDeviceChange();
  EXPECT_EQ(link.WriteState(), 0);
  Feed(panel, Ack(2));
  EXPECT_EQ(link.WriteState(), 1);
  link.TimerTimer();
  EXPECT_EQ(panel.written.back()[4], 3);
}

TEST_F(ConfigurationWriteTest, DeleteAcknowledgementEndsTheWriteAfterItsMessage) {
  FakeDevice& panel = Connect(430);
  link.ButtonWriteClick();
  link.TimerTimer();
  int stepDuringMessage = -1;
  view.onMessage = [&](const std::string&) { stepDuringMessage = link.WriteStep(); };
  Feed(panel, Ack(231));
  EXPECT_EQ(view.messages, (std::vector<std::string>{"Код(ы) удален(ы)"}));
  EXPECT_EQ(stepDuringMessage, 231);
  EXPECT_EQ(link.WriteState(), 0);
  EXPECT_EQ(link.WriteStep(), 0);
  EXPECT_TRUE(view.progressSmooth);
  Feed(panel, Ack(230));  // store acknowledgement: no message
  EXPECT_EQ(view.messages.size(), 1u);
}

TEST_F(ConfigurationWriteTest, TickDuringTheDeleteMessageSendsNoCommandCodeAsAStep) {
  FakeDevice& panel = Connect(430);
  Feed(panel, Ack(4));  // a step is due
  const size_t sent = panel.written.size();
  view.onMessage = [this](const std::string&) { link.TimerTimer(); };
  Feed(panel, Ack(231));
  EXPECT_EQ(panel.written.size(), sent);
  EXPECT_EQ(link.WriteState(), 0);
}

TEST_F(ConfigurationWriteTest, ReadClickBesideAnOutstandingStepLetsBothRun) {
  FakeDevice& panel = Connect(430);
  link.ButtonWriteClick();
  link.TimerTimer();  // step 1 out
  link.ButtonReadClick();
  EXPECT_EQ(link.WriteState(), 0);
  Feed(panel, Ack(1));
  EXPECT_EQ(link.WriteState(), 1);
  link.TimerTimer();
  // One tick sends the read request and the write step.
  const auto n = panel.written.size();
  EXPECT_EQ(Bytes(panel.written[n - 2], 3, 5), (Report{0x20, 1}));
  EXPECT_EQ(Bytes(panel.written[n - 1], 3, 5), (Report{0x10, 2}));
}

}  // namespace
}  // namespace zarvex::protocol::testing
