// What the installer is told about a transfer, through the whole link: the
// texts must never claim more than the panel acknowledged, and the protocol
// state must stay exactly as it would be without them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "link_harness.h"
#include "panel_replies.h"

namespace zarvex::protocol::testing {
namespace {

const char* const kWriteWarning = "Конфигурация записана не полностью";

struct StatusHarness : LinkHarness {
  StatusHarness() { link.SetClock([this] { return now; }); }

  // Answers every read request with a value of the parameter asked for.
  void ReadUntilIdle(FakeDevice& panel, int stopAfter = 56) {
    for (int k = 0; k < stopAfter && link.ReadState() != 0; ++k) {
      link.TimerTimer();
      Feed(panel, ValueNumber(panel.written.back()[4], 1));
    }
  }
  // Acknowledges every step sent until `stopAfter` steps or the write ends.
  void WriteSteps(FakeDevice& panel, int stopAfter = 56) {
    for (int k = 0; k < stopAfter && link.WriteState() != 0; ++k) {
      link.TimerTimer();
      Feed(panel, Ack(panel.written.back()[4]));
    }
  }
  const std::string& Text() const { return view.transfer.text; }
  const std::string& Warning() const { return view.transfer.warning; }

  int64_t now = 0;
};

class TransferStatusTest : public ::testing::Test, public StatusHarness {};

TEST_F(TransferStatusTest, CompleteReadAndWriteSayWhatTheyDidAndCountEveryStep) {
  FakeDevice& panel = Connect(430);
  link.ButtonReadClick();
  EXPECT_EQ(Text(), "Чтение: 0 из 56");
  ReadUntilIdle(panel, 30);
  EXPECT_EQ(Text(), "Чтение: 30 из 56");
  ReadUntilIdle(panel);
  EXPECT_EQ(Text(), "Конфигурация прочитана");
  EXPECT_EQ(Warning(), "");

  link.ButtonWriteClick();
  EXPECT_EQ(Text(), "Запись: 0 из 56");
  WriteSteps(panel, 55);
  EXPECT_EQ(Text(), "Запись: 55 из 56");
  EXPECT_TRUE(view.progressSmooth == false);
  WriteSteps(panel);
  EXPECT_EQ(Text(), "Конфигурация записана");
  EXPECT_FALSE(view.transfer.alarm);
  EXPECT_EQ(view.transfer.warning, "");
  // The protocol's own ending is untouched.
  EXPECT_TRUE(view.progressSmooth);
  EXPECT_EQ(link.WriteState(), 0);
  EXPECT_EQ(link.WriteStep(), 0);
}

// Every way a write can end before step 56 is acknowledged, with the
// protocol's own view of it: the bar turns smooth or stays as it was, but
// the text says how far the write got.
TEST_F(TransferStatusTest, AWriteEndedEarlyIsShownInterruptedWithItsCount) {
  struct Case {
    const char* name;
    void (*stop)(StatusHarness&, FakeDevice&);
  };
  const Case cases[] = {
      {"another device plugged", [](StatusHarness& t, FakeDevice&) { t.Plug("Keyboard"); }},
      {"key command acknowledged",
       [](StatusHarness& t, FakeDevice& p) { t.Feed(p, Ack(230)); }},
      {"read click", [](StatusHarness& t, FakeDevice&) { t.link.ButtonReadClick(); }},
      {"panel unplugged", [](StatusHarness& t, FakeDevice& p) { t.Unplug(p); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StatusHarness t;
    FakeDevice& panel = t.Connect(430);
    t.link.ButtonWriteClick();
    t.WriteSteps(panel, 20);
    c.stop(t, panel);
    EXPECT_EQ(t.view.transfer.warning, kWriteWarning);
    EXPECT_NE(std::find(t.view.transferTexts.begin(), t.view.transferTexts.end(),
                        "Запись прервана: записано 20 из 56"),
              t.view.transferTexts.end());
    EXPECT_EQ(std::count(t.view.transferTexts.begin(), t.view.transferTexts.end(),
                         "Конфигурация записана"),
              0);
  }
}

TEST_F(TransferStatusTest, TheWarningStaysUntilACompletedWriteOrANewConnection) {
  FakeDevice& panel = Connect(430);
  link.ButtonWriteClick();
  WriteSteps(panel, 10);
  link.ButtonReadClick();
  ReadUntilIdle(panel);
  EXPECT_EQ(Text(), "Конфигурация прочитана");
  EXPECT_EQ(Warning(), kWriteWarning);  // a good read does not mend the write
  link.ButtonWriteClick();
  WriteSteps(panel);
  EXPECT_EQ(Text(), "Конфигурация записана");
  EXPECT_EQ(Warning(), "");

  link.ButtonWriteClick();
  WriteSteps(panel, 3);
  Unplug(panel);
  EXPECT_EQ(Text(), "Запись прервана: записано 3 из 56");
  EXPECT_EQ(Warning(), kWriteWarning);
  Plug();
  EXPECT_EQ(Warning(), "");
  EXPECT_EQ(Text(), "");
}

// An enumeration stops the write, but the acknowledgement already on its way
// starts it again at the next step; carried to the end it is complete.
TEST_F(TransferStatusTest, AWriteResumedByALateAcknowledgementCanStillComplete) {
  FakeDevice& panel = Connect(430);
  link.ButtonWriteClick();
  WriteSteps(panel, 19);
  link.TimerTimer();  // step 20 sent
  Plug("Keyboard");
  EXPECT_EQ(Text(), "Запись прервана: записано 19 из 56");
  Feed(panel, Ack(20));
  EXPECT_EQ(Text(), "Запись: 20 из 56");
  WriteSteps(panel);
  EXPECT_EQ(Text(), "Конфигурация записана");
  EXPECT_EQ(Warning(), "");
}

// An acknowledgement that nobody asked for runs the write from the next
// step on; steps before it were never written in this write.
TEST_F(TransferStatusTest, AWriteStartedByAStrayAcknowledgementNeverClaimsCompletion) {
  FakeDevice& panel = Connect(430);
  Feed(panel, Ack(20));
  WriteSteps(panel);
  EXPECT_EQ(link.WriteState(), 0);
  EXPECT_EQ(Text(), "Запись прервана: записано 36 из 56");
  EXPECT_EQ(Warning(), kWriteWarning);
}

TEST_F(TransferStatusTest, ReadInterruptedOrAnsweredForOtherParametersIsNotCalledRead) {
  FakeDevice& panel = Connect(430);
  link.ButtonReadClick();
  ReadUntilIdle(panel, 12);
  Plug("Keyboard");
  EXPECT_EQ(Text(), "Чтение прервано: 12 из 56");
  EXPECT_EQ(Warning(), "Конфигурация прочитана не полностью");

  // A panel that answers parameter 7 for parameter 8 completes the read by
  // the protocol's count, one parameter short.
  link.ButtonReadClick();
  for (int k = 0; k < 56 && link.ReadState() != 0; ++k) {
    link.TimerTimer();
    const int asked = panel.written.back()[4];
    Feed(panel, ValueNumber(static_cast<uint8_t>(asked == 8 ? 7 : asked), 1));
  }
  EXPECT_EQ(view.showSettingsCount, 1);  // the protocol still shows the settings
  EXPECT_EQ(Text(), "Чтение прервано: 55 из 56");
}

TEST_F(TransferStatusTest, SilenceOfASecondIsShownInRedAndALateAnswerCarriesOn) {
  FakeDevice& panel = Connect(430);
  link.ButtonWriteClick();
  WriteSteps(panel, 4);
  link.TimerTimer();  // step 5 sent
  now += 999;
  link.TimerTimer();
  EXPECT_EQ(Text(), "Запись: 4 из 56");
  now += 1;
  link.TimerTimer();
  EXPECT_EQ(Text(), "Панель не отвечает (параметр 5)");
  EXPECT_TRUE(view.transfer.alarm);
  EXPECT_EQ(Warning(), kWriteWarning);
  EXPECT_EQ(link.WriteState(), 2);  // no protocol state changed
  EXPECT_EQ(link.WriteStep(), 5);

  Feed(panel, Ack(5));
  EXPECT_EQ(Text(), "Запись: 5 из 56");
  EXPECT_FALSE(view.transfer.alarm);
  WriteSteps(panel);
  EXPECT_EQ(Text(), "Конфигурация записана");
  EXPECT_EQ(Warning(), "");
}

// After a write click the next value report starts a read beside the write;
// answers for the read must not hide the write's missing one.
TEST_F(TransferStatusTest, AnswersForOneMachineDoNotHideTheOthersSilence) {
  FakeDevice& panel = Connect(430);
  link.ButtonWriteClick();
  WriteSteps(panel, 5);
  link.TimerTimer();  // step 6 sent, never acknowledged
  Feed(panel, CodeSaved());
  for (int k = 0; k < 20; ++k) {
    link.TimerTimer();
    Feed(panel, ValueNumber(panel.written.back()[4], 1));
    now += 100;
  }
  link.TimerTimer();
  EXPECT_EQ(Text(), "Панель не отвечает (параметр 6)");
  EXPECT_EQ(link.ReadStep(), 21);  // the read went on as the protocol says
}

TEST_F(TransferStatusTest, IdentificationAndCommandsAreWatchedToo) {
  FakeDevice& panel = Plug();
  link.TimerTimer();  // type query
  now += 1000;
  link.TimerTimer();
  EXPECT_EQ(Text(), "Панель не отвечает (параметр 200)");
  Identify(panel, 430);
  EXPECT_FALSE(view.transfer.alarm);

  link.ButtonDelAllKeysClick();
  now += 1000;
  link.TimerTimer();
  EXPECT_EQ(Text(), "Панель не отвечает (параметр 231)");
}

TEST_F(TransferStatusTest, KeyListingCountsTheKeysAndEachRecordRestartsTheWatch) {
  FakeDevice& panel = Connect(430);
  link.ButtonReadKeysClick();
  for (int k = 1; k <= 3; ++k) {
    now += 900;
    Feed(panel, KeyRecord(k, {1, 2, 3, 4, 5, 6, 7, static_cast<uint8_t>(k)}));
    link.TimerTimer();
  }
  EXPECT_EQ(Text(), "Получено ключей: 3");
  Feed(panel, KeyListEnd());
  now += 5000;
  link.TimerTimer();
  EXPECT_EQ(Text(), "Получено ключей: 3");
  EXPECT_FALSE(view.transfer.alarm);
}

// After a write the next value report starts a read by itself, and key
// records move its step past parameters never asked for. The text names that
// read, and every counted text carries its count for the bar.
TEST_F(TransferStatusTest, TheReadAfterAWriteIsNamedAndEveryCountedTextCarriesItsCount) {
  FakeDevice& panel = Connect(430);
  link.ButtonWriteClick();
  WriteSteps(panel);
  EXPECT_EQ(view.transfer.done, 56);
  link.ButtonReadKeysClick();
  for (int k = 1; k <= 5; ++k) Feed(panel, KeyRecord(k * 3, {1, 2, 3, 4, 5, 6, 7, static_cast<uint8_t>(k)}));
  EXPECT_EQ(Text(), "Получено ключей: 5");
  EXPECT_EQ(view.transfer.done, -1);
  Feed(panel, KeyListEnd());
  EXPECT_EQ(Text(), "Чтение после записи: 0 из 56");
  EXPECT_EQ(view.transfer.done, 0);
  ReadUntilIdle(panel);
  // Parameters 1..5 were skipped by the key records' steps.
  EXPECT_EQ(Text(), "Чтение после записи прервано: 51 из 56");
  EXPECT_EQ(view.transfer.done, 51);

  link.ButtonReadClick();
  EXPECT_EQ(Text(), "Чтение: 0 из 56");
  ReadUntilIdle(panel, 7);
  EXPECT_EQ(view.transfer.done, 7);
  ReadUntilIdle(panel);
  EXPECT_EQ(Text(), "Конфигурация прочитана");
  EXPECT_EQ(view.transfer.done, 56);
}

TEST_F(TransferStatusTest, TheLogShowsSentReportsWithTheirReportId) {
  FakeDevice& panel = Connect(430);
  view.logVisible = true;
  link.ButtonReadClick();
  link.TimerTimer();
  ASSERT_EQ(view.sentLogLines.size(), 1u);
  const std::string& line = view.sentLogLines[0];
  EXPECT_EQ(line.rfind("1 220 237 32 1 3 4 ", 0), 0u) << line;
  EXPECT_EQ(std::count(line.begin(), line.end(), ' '), 65);
  Feed(panel, Report{0xDC, 0xEE, 0x01, 0x11});
  EXPECT_EQ(view.logLines.back(), "220 238 1 17 ");  // received lines as before
}

}  // namespace
}  // namespace zarvex::protocol::testing
