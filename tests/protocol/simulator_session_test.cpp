// The link against the simulated panel's model, headless: every output
// report goes to the model and its answers come back as input reports.
#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>

#include "link_harness.h"
#include "sim/panel_model.h"

namespace zarvex::protocol::testing {
namespace {

class SimulatorSessionTest : public ::testing::Test, public LinkHarness {
 protected:
  void Connect(sim::PanelKind kind) {
    model.emplace(kind);
    panel = &Plug();
    Pump();
  }

  // Hands new output reports to the model and its answers to the link, one
  // timer tick at a time, until the exchange has come to rest.
  void Pump(int maxTicks = 500) {
    for (int tick = 0; tick < maxTicks; ++tick) {
      Deliver();
      if (!link.State().RequestPending() && answers.empty()) return;
      link.TimerTimer();
    }
    ADD_FAILURE() << "exchange did not come to rest";
  }
  void Deliver() {
    while (panel != nullptr && (sent < panel->written.size() || !answers.empty())) {
      while (sent < panel->written.size()) {
        sim::PanelAnswer answer = model->HandleOutputReport(panel->written[sent++]);
        if (answer.unplug) {
          FakeDevice* gone = panel;
          panel = nullptr;
          answers.clear();
          Unplug(*gone);
          return;
        }
        answers.insert(answers.end(), answer.reports.begin(), answer.reports.end());
      }
      if (!answers.empty()) {
        const sim::Report report = answers.front();
        answers.pop_front();
        Feed(*panel, Report(report.begin() + 1, report.end()));  // without the report ID
      }
    }
  }
  void Inject(const std::vector<sim::Report>& reports) {
    answers.insert(answers.end(), reports.begin(), reports.end());
    Pump();
  }

  std::optional<sim::PanelModel> model;
  FakeDevice* panel = nullptr;
  size_t sent = 0;
  std::deque<sim::Report> answers;
};

TEST_F(SimulatorSessionTest, IdentificationShowsTheModel) {
  Connect(sim::PanelKind::Second);
  EXPECT_EQ(view.deviceType, "Zarvex GSM ZX-4110");
  EXPECT_EQ(view.deviceVersion, "520");
  EXPECT_EQ(cfg.FirmwareVersion, 520);
  EXPECT_FALSE(view.timerRunning);
}

TEST_F(SimulatorSessionTest, FullReadBringsThePanelsValues) {
  Connect(sim::PanelKind::First);
  auto& pc = model->Configuration();
  pc.SetNumber(17, 1440);
  pc.SetNumber(25, 7);
  pc.SetText(2, "+79001234567");
  pc.SetText(48, "1000000000000001");
  pc.SetText(55, "Garage");
  model->ClearReceivedReports();
  link.ButtonReadClick();
  Pump();
  EXPECT_EQ(model->ReceivedReports().size(), 56u);
  EXPECT_EQ(view.showSettingsCount, 1);
  EXPECT_TRUE(view.progressSmooth);
  EXPECT_EQ(cfg.KeypadCode0, "1234");
  EXPECT_EQ(cfg.KeypadCode[9], "0000");
  EXPECT_EQ(cfg.Phone[0], "+79001234567");
  EXPECT_EQ(cfg.TestPeriod, 1440);
  EXPECT_EQ(cfg.AuxValue3(), 7);
  EXPECT_EQ(cfg.AuxValue4(), 3);
  EXPECT_EQ(cfg.SmsEventMask, "1000000000000001");
  EXPECT_EQ(cfg.CallEventMask, "0111111000000000");
  EXPECT_EQ(cfg.InputName[5], "Garage");
  EXPECT_EQ(cfg.TamperName(), "Tamper");
}

TEST_F(SimulatorSessionTest, FullWriteLeavesTheWindowsValuesInThePanel) {
  Connect(sim::PanelKind::First);
  view.onCollect = [this] {
    cfg.KeypadCode0 = "4321";
    cfg.KeypadCode.fill("9876");
    cfg.Phone.fill("*");
    cfg.AccessPoint = "apn";
    cfg.TestPeriod = 60;
    cfg.InputDelay[2] = 51;
    cfg.SmsEvents.fill(0);
    BuildEventMasks(cfg);
    cfg.InputName[5] = "Six";
    cfg.VpnAndId = "1123456";
    cfg.TamperName() = "Lid";
  };
  link.ButtonWriteClick();
  Pump();
  const auto& pc = model->Configuration();
  EXPECT_EQ(pc.Text(1), "4321" "9876987698769876987698769876987698769876");
  EXPECT_EQ(pc.Text(10), "apn");
  EXPECT_EQ(pc.Number(17), 60);
  EXPECT_EQ(pc.Number(21), 51);
  EXPECT_EQ(pc.Text(48), "0000000000000000");
  EXPECT_EQ(pc.Text(55), "Six");  // firmware 430: no VPN parameter
  EXPECT_EQ(pc.Text(56), "Lid");
  EXPECT_EQ(link.WriteState(), 0);
  EXPECT_TRUE(view.progressSmooth);
}

TEST_F(SimulatorSessionTest, UnplugInTheMiddleOfAReadShowsDisconnected) {
  Connect(sim::PanelKind::First);
  model->UnplugAfterRequests(10);
  link.ButtonReadClick();
  Pump();
  EXPECT_EQ(view.status, "Устройство не подключено");
  EXPECT_FALSE(link.PanelHeld());
  EXPECT_EQ(view.showSettingsCount, 0);
}

TEST_F(SimulatorSessionTest, KeyStoreListAndDelete) {
  Connect(sim::PanelKind::First);
  link.ButtonWriteKeysClick("1", "3");
  Pump();
  Inject(model->PresentKey({1, 2, 3, 4, 5, 6, 7, 8}));
  Inject(model->PresentKey({1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(view.messages, (std::vector<std::string>{"Код сохранен", "Код сохранен"}));
  link.ButtonReadKeysClick();
  Pump();
  ASSERT_EQ(view.keyRows.size(), 3u);
  EXPECT_EQ(view.keyRows[2].duplicate, "1");
  EXPECT_TRUE(view.progressSmooth);
  link.ButtonDelAllKeysClick();
  Pump();
  EXPECT_EQ(view.messages.back(), "Код(ы) удален(ы)");
  EXPECT_TRUE(model->Keys().Stored().empty());
}

TEST_F(SimulatorSessionTest, ListingOfAThousandKeysFillsTheGrid) {
  Connect(sim::PanelKind::First);
  for (int position = 1; position <= 1000; ++position) {
    const int id = position <= 900 ? position : position - 900;
    const auto high = static_cast<uint8_t>(id >> 8), low = static_cast<uint8_t>(id);
    model->Keys().Put(position, {0xAB, high, low, 0, 0, 0, 0, 0});
  }
  link.ButtonReadKeysClick();
  Pump();
  ASSERT_EQ(view.keyRows.size(), 1001u);
  EXPECT_EQ(view.keyRows[1000].duplicate, "100");
  EXPECT_EQ(view.keyRows[900].duplicate, "");
  EXPECT_EQ(view.progressPosition, 56);
}

TEST_F(SimulatorSessionTest, PairListAndDeleteWirelessDevices) {
  Connect(sim::PanelKind::Second);
  link.ButtonWriteTrinketClick("4");
  Pump();
  Inject(model->AnswerPairing());
  EXPECT_EQ(view.messages, (std::vector<std::string>{"Код сохранен"}));
  link.ButtonWriteSensorClick("2", false);
  Pump();
  Inject(model->AnswerPairing());
  link.ButtonReadWireLessClick();
  Pump();
  EXPECT_EQ(view.trinkets, "Брелоки: 4");
  EXPECT_EQ(view.sensors, "Датчики: 4(2)");
  link.ButtonDelAllTrinketClick();
  link.ButtonReadWireLessClick();
  Pump();
  EXPECT_EQ(view.trinkets, "Брелоки: пусто");
  EXPECT_EQ(view.messages.back(), "Код(ы) удален(ы)");
}

}  // namespace
}  // namespace zarvex::protocol::testing
