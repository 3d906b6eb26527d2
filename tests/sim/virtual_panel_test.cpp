#include "sim/virtual_panel.h"

#include <gtest/gtest.h>

#include <thread>

#include "host_frames.h"

namespace zarvex::sim {
namespace {

using test::Decode;
using test::HostQuery;
using test::HostWriteNumber;

// The host's end of the virtual device, driven by hand.
class HostEnd {
 public:
  HostEnd(hid::VirtualHidPlatform& platform, hid::VirtualHidPlatform::DeviceId id) {
    uint32_t error = 0;
    handle_ = platform.Open(platform.DevicePath(id), hid::THidAccess::ReadWrite, error);
  }
  bool Opened() const { return handle_ != nullptr; }
  bool Write(const Report& report) {
    std::size_t written = 0;
    return handle_->Write(report.data(), report.size(), written);
  }
  // The next input report; empty when none is queued.
  Report Read() {
    Report buffer(100, 0);
    const auto result = handle_->Read(buffer.data(), buffer.size(), 0);
    if (result.status != hid::THidReadStatus::Data) return {};
    buffer.resize(result.bytes);
    return buffer;
  }
  hid::THidHandle& Handle() { return *handle_; }

 private:
  std::unique_ptr<hid::THidHandle> handle_;
};

class VirtualPanelTest : public ::testing::Test {
 protected:
  HostEnd Connect() {
    const auto id = panel.DeviceId();
    EXPECT_TRUE(id);
    return HostEnd(platform, id.value_or(0));
  }
  hid::VirtualHidPlatform platform;
  VirtualPanel panel{platform};
};

TEST_F(VirtualPanelTest, PresentsItselfAsThePanelWithSixtyFiveByteReports) {
  panel.Plug(PanelKind::First);
  ASSERT_EQ(platform.PresentInterfaces().size(), 1u);
  auto host = Connect();
  ASSERT_TRUE(host.Opened());
  std::string product;
  ASSERT_TRUE(host.Handle().ProductString(product));
  EXPECT_EQ(product, "ZARVEX - ZX4110");
  hid::THidCaps caps;
  ASSERT_TRUE(host.Handle().Caps(caps));
  EXPECT_EQ(caps.inputReportByteLength, 65);
  EXPECT_EQ(caps.outputReportByteLength, 65);
}

TEST_F(VirtualPanelTest, AnswersThroughTheInputQueue) {
  panel.Plug(PanelKind::Second);
  auto host = Connect();
  ASSERT_TRUE(host.Write(HostQuery(201)));
  const auto reply = host.Read();
  EXPECT_TRUE(Decode(reply).wellFormed);
  EXPECT_EQ(Decode(reply).number, 520);
  ASSERT_TRUE(host.Write(HostWriteNumber(17, 60)));
  EXPECT_EQ(Decode(host.Read()).kind, 1);
  EXPECT_EQ(panel.Configuration().Number(17), 60);
  EXPECT_EQ(panel.ReceivedReports().size(), 2u);
}

TEST_F(VirtualPanelTest, HeldAndUnsolicitedReportsAreDeliveredOnRequest) {
  panel.Plug(PanelKind::Second);
  auto host = Connect();
  panel.HoldNextAnswer();
  host.Write(HostWriteNumber(0xE6, 3));
  EXPECT_TRUE(host.Read().empty());
  panel.ReleaseHeldAnswers();
  EXPECT_EQ(Decode(host.Read()).code, 230);
  panel.AnswerPairing();
  EXPECT_EQ(Decode(host.Read()).code, 203);
  EXPECT_EQ(panel.WirelessPresence().substr(0, 4), "0010");

  panel.SendReport(Report{1, 0xDC, 0xEE, 1, 0x11});
  EXPECT_EQ(host.Read(), (Report{1, 0xDC, 0xEE, 1, 0x11}));
}

TEST_F(VirtualPanelTest, UnplugsInTheMiddleAndComesBackWithItsMemory) {
  panel.Plug(PanelKind::First);
  auto host = Connect();
  panel.WithModel([](PanelModel& m) { m.Configuration().SetText(10, "apn.test"); });
  panel.UnplugAfterRequests(2);
  host.Write(HostQuery(1));
  host.Write(HostQuery(2));
  EXPECT_FALSE(panel.IsPlugged());
  EXPECT_TRUE(platform.PresentInterfaces().empty());
  EXPECT_FALSE(host.Write(HostQuery(3)));  // the device has gone
  panel.WithModel([](PanelModel& m) { m.Keys().StartLearning({1, 5}); });
  panel.PresentKey(KeyBytes{1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_TRUE(panel.StoredKeys().empty());  // no power, no learning

  panel.Replug();
  ASSERT_TRUE(panel.IsPlugged());
  auto again = Connect();
  again.Write(HostQuery(10));
  EXPECT_EQ(Decode(again.Read()).text, "apn.test");

  // A fresh plug starts from the factory.
  panel.Plug(PanelKind::First, 441);
  EXPECT_EQ(panel.Configuration(), PanelConfiguration::Factory());
  EXPECT_EQ(panel.FirmwareVersion(), 441);
  EXPECT_EQ(platform.PresentInterfaces().size(), 1u);
}

TEST_F(VirtualPanelTest, KeysPresentedFromAnotherThreadWhileTheHostWrites) {
  panel.Plug(PanelKind::First);
  auto host = Connect();
  host.Write(test::HostWriteText(0xE6, "1,1000"));
  ASSERT_EQ(Decode(host.Read()).code, 230);
  std::thread reader([&] {
    for (uint8_t i = 0; i < 50; ++i) panel.PresentKey(KeyBytes{i, 0, 0, 0, 0, 0, 0, 1});
  });
  for (int i = 0; i < 50; ++i) host.Write(HostQuery(17));
  reader.join();
  int saved = 0, values = 0;
  for (Report r = host.Read(); !r.empty(); r = host.Read()) {
    const auto reply = Decode(r);
    saved += reply.code == 203;
    values += reply.code == 17;
  }
  EXPECT_EQ(saved, 50);
  EXPECT_EQ(values, 50);
  EXPECT_EQ(panel.StoredKeys().size(), 50u);
}

}  // namespace
}  // namespace zarvex::sim
