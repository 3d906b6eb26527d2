#include "link/panel_connection.h"

#include <cstdint>
#include <string>
#include <utility>

namespace zarvex::link {

namespace {

class THeldHidDevice final : public protocol::PanelPort {
 public:
  explicit THeldHidDevice(hid::THidDeviceHold hold) : hold_(std::move(hold)) {}
  const void* Identity() const override { return DeviceIdentity(*hold_); }
  int OutputReportByteLength() override { return hold_->ReportCaps().outputReportByteLength; }
  bool WriteReport(const uint8_t* data, int length) override {
    return hold_->WriteReport(data, length);
  }
  bool ReadWriteAccess() const override { return hold_->ReadWriteAccess(); }
  bool HeldByAnotherProgram() const override { return hold_->HeldElsewhere(); }
  std::string DevicePath() const override { return hold_->DevicePath(); }

 private:
  hid::THidDeviceHold hold_;  // released: checked in
};

}  // namespace

const void* DeviceIdentity(const hid::THidDevice& device) {
  return reinterpret_cast<const void*>(static_cast<uintptr_t>(device.Serial()));
}

int THidDeviceBus::EnumerateDevices() { return controller_.EnumerateDevices(); }

std::unique_ptr<protocol::PanelPort> THidDeviceBus::CheckOutAt(int index) {
  hid::THidDeviceHold hold = controller_.CheckOutAt(index);
  if (!hold) return nullptr;
  return std::make_unique<THeldHidDevice>(std::move(hold));
}

TPanelConnection::TPanelConnection(TCFG& cfg, protocol::PanelView& view,
                                   hid::THidPlatform& platform, hid::THidMainLoop& loop)
    : controller_(platform, loop),
      bus_(controller_),
      link_(std::make_unique<protocol::DeviceLink>(cfg, view, bus_)) {
  protocol::DeviceLink& link = *link_;
  controller_.SetOnEnumerate([this, &link](hid::THidDevice& device, int index) {
    if (accept_ && !accept_(device)) return true;
    TOfferedHidDevice offered(device);
    return link.HIDEnumerate(offered, index);
  });
  controller_.SetOnDeviceChange([&link](hid::THidDeviceController&) { link.HIDDeviceChange(); });
  controller_.SetOnRemoval([&link](hid::THidDevice& device) {
    TOfferedHidDevice offered(device);
    link.HIDRemoval(offered);
  });
  controller_.SetOnDeviceData(
      [&link](hid::THidDevice& device, uint8_t reportId, const uint8_t* data, uint16_t size) {
        TOfferedHidDevice offered(device);
        link.HIDDeviceData(offered, reportId, data, size);
      });
}

TPanelConnection::~TPanelConnection() {
  // The handlers point at the link; nothing may reach it once it is gone.
  controller_.SetOnDeviceData(nullptr);
  controller_.SetOnEnumerate(nullptr);
  controller_.SetOnRemoval(nullptr);
  link_.reset();
}

}  // namespace zarvex::link
