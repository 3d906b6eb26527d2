#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "protocol/access_keys.h"
#include "protocol/configuration_read.h"
#include "protocol/configuration_write.h"
#include "protocol/device_bus.h"
#include "protocol/link_context.h"
#include "protocol/panel_view.h"
#include "protocol/transfer_status.h"
#include "protocol/wireless_devices.h"
#include "settings/tcfg.h"

namespace zarvex::protocol {

// The panel link as the window drives it: the controller's four events, the
// 10 ms timer and the device buttons. All calls come on the main thread; the
// link keeps no locks.
//
// Beyond the panel protocol itself the link
// - holds one panel at a time: a second device with the panel's product
//   string is not checked out while one is held (the scan after the held
//   one's removal offers it again), and only the held device's reports and
//   removal count;
// - does not show a panel it cannot open read-write as connected: the
//   status reads "Нет доступа к устройству" and a message names the device
//   node once per plug, that is, once for a device object from its first
//   refused check-out until its removal; later scans only repeat the status;
// - asks the window for timer ticks only while a request may become due
//   or an answer is awaited;
// - tells the window how a transfer went (TransferStatus), and logs the
//   reports it sends beside those it receives.
class DeviceLink {
 public:
  using Clock = std::function<int64_t()>;  // milliseconds, steady

  DeviceLink(TCFG& cfg, PanelView& view, DeviceBus& bus);
  // Tests drive the answer watch with a clock of their own.
  void SetClock(Clock clock) { clock_ = std::move(clock); }

  // State to start-up values, the expected product name set, no panel held,
  // key list emptied, timer stopped. The window runs ResetKeyGrid after it.
  void StartupInit();
  // Key grid set-up of the window's creation handler.
  void ResetKeyGrid() { keys_.ResetKeyGrid(); }

  bool HIDEnumerate(OfferedDevice& device, int index);
  void HIDDeviceChange();
  void HIDRemoval(OfferedDevice& device);
  // Every failure raised while the report is handled is caught and dropped.
  void HIDDeviceData(OfferedDevice& device, uint8_t reportId, const uint8_t* data, int size);
  void TimerTimer();

  void ButtonReadClick();
  void ButtonWriteClick();
  void ButtonWriteKeysClick(const std::string& minText, const std::string& maxText);
  void ButtonDelKeysClick(const std::string& minText, const std::string& maxText);
  void ButtonDelAllKeysClick();
  void ButtonReadKeysClick();
  void ButtonWriteTrinketClick(const std::string& numberText);
  void ButtonDelTrinketClick(const std::string& numberText);
  void ButtonDelAllTrinketClick();
  void ButtonWriteSensorClick(const std::string& numberText, bool loop3);  // loop3: RBSens3 checked
  void ButtonDelSensorClick(const std::string& numberText, bool loop3);
  void ButtonDelAllSensorClick();
  void ButtonReadWireLessClick();

  // The link's own steps, public for the window and for tests.
  void IdentificationTick();
  void DispatchInReport();
  void LogInReport(const std::string& line);
  void SendOutReport() { link_.SendOutReport(); }

  // Read-only state.
  const std::string& ExpectedProductName() const { return expectedProductName_; }
  bool PanelHeld() const { return link_.panel != nullptr; }
  // The last panel refused for lack of access was held by another program.
  bool RefusedAsBusy() const { return refusedAsBusy_; }
  const LinkState& State() const { return link_.state; }
  int32_t ReadState() const { return link_.state.ReadState; }
  int32_t ReadStep() const { return link_.state.ReadStep; }
  int32_t WriteState() const { return link_.state.WriteState; }
  int32_t WriteStep() const { return link_.state.WriteStep; }
  int32_t TypeQueryCountdown() const { return link_.state.TypeQueryCountdown; }
  int32_t VersionQueryCountdown() const { return link_.state.VersionQueryCountdown; }
  const protocol::OutReport& OutReport() const { return link_.out; }
  const protocol::InReport& InReport() const { return link_.in; }
  const protocol::KeyList& KeyList() const { return keys_.Keys(); }
  const TransferStatus& Status() const { return status_; }

 private:
  bool IsPanel(OfferedDevice& device) const;
  bool IsHeld(const OfferedDevice& device) const;
  void ShowConnected();
  void RefuseWithoutAccess(const PanelPort& port);
  void ShowPendingAccessMessage();
  void RequestTicksIfPending();
  void StopTicksIfIdle();
  void LogSent(int length);
  // After every event: the status follows the state the event left.
  void SettleStatus();
  void AfterClick();

  DeviceBus& bus_;
  LinkContext link_;
  ConfigurationRead read_;
  ConfigurationWrite write_;
  AccessKeys keys_;
  WirelessDevices wireless_;
  std::string expectedProductName_;
  bool timerRunning_ = false;
  TransferStatus status_;
  TransferStatusText shownStatus_;
  Clock clock_;

  // The device last refused for lack of access, so its message shows once.
  const void* deniedIdentity_ = nullptr;
  std::string deniedPath_;
  std::string pendingAccessMessage_;
  bool refusedAsBusy_ = false;
  int scanDepth_ = 0;
};

}  // namespace zarvex::protocol
