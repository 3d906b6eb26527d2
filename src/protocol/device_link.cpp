#include "protocol/panel_identity.h"
#include "protocol/device_link.h"

#include <algorithm>
#include <chrono>

#include "protocol/protocol_codes.h"

namespace zarvex::protocol {

namespace {
int64_t SteadyMilliseconds();
const char* const kConnected = "Устройство подключено";
const char* const kDisconnected = "Устройство не подключено";
const char* const kNoAccess = "Нет доступа к устройству";

std::string NoAccessMessage(const std::string& path, bool heldElsewhere) {
  return "Нет доступа к устройству " + path + ". " + (heldElsewhere ? PanelBusyHint() : NoAccessHint());
}
}  // namespace

namespace {
int64_t SteadyMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

DeviceLink::DeviceLink(TCFG& cfg, PanelView& view, DeviceBus& bus)
    : bus_(bus),
      link_(cfg, view),
      read_(link_),
      write_(link_),
      keys_(link_),
      wireless_(link_),
      clock_(SteadyMilliseconds) {
  link_.afterSend = [this](int length) {
    status_.Sent(link_.out, clock_());
    LogSent(length);
  };
}

void DeviceLink::LogSent(int length) {
  if (!link_.view.IsLogVisible()) return;
  std::string line;
  const int count = std::min(length, protocol::OutReport::kSize);
  line.reserve(static_cast<size_t>(count) * 4);
  for (int k = 0; k < count; ++k) {
    line += std::to_string(link_.out[k]);
    line += ' ';
  }
  link_.view.AppendSentLogLine(line);
}

void DeviceLink::SettleStatus() {
  status_.Settle(link_.state, link_.panel != nullptr, keys_.Keys().KeyCount());
  if (status_.Shown() == shownStatus_) return;
  shownStatus_ = status_.Shown();
  link_.view.ShowTransferStatus(shownStatus_);
}

void DeviceLink::StartupInit() {
  expectedProductName_ = kPanelProductName;
  link_.panel.reset();
  link_.state = LinkState{};
  link_.out = protocol::OutReport{};
  link_.in = protocol::InReport{};
  keys_.ClearKeys();  // the grid itself is set up by the window's ResetKeyGrid
  deniedIdentity_ = nullptr;
  deniedPath_.clear();
  pendingAccessMessage_.clear();
  timerRunning_ = false;
  link_.view.SetTimerRunning(false);
  status_ = TransferStatus{};
  shownStatus_ = TransferStatusText{};
}

bool DeviceLink::IsPanel(OfferedDevice& device) const {
  return IsPanelProductString(device.ProductString());
}

bool DeviceLink::IsHeld(const OfferedDevice& device) const {
  return link_.panel && link_.panel->Identity() == device.Identity();
}

void DeviceLink::RequestTicksIfPending() {
  if (timerRunning_ || !(link_.state.RequestPending() || status_.Watching())) return;
  timerRunning_ = true;
  link_.view.SetTimerRunning(true);
}

bool DeviceLink::HIDEnumerate(OfferedDevice& device, int index) {
  // Every offered device stops a running read or write, panel or not.
  link_.state.ReadState = 0;
  link_.state.WriteState = 0;
  if (!IsPanel(device)) {
    SettleStatus();
    return true;
  }

  if (link_.panel) {
    // One panel at a time: mixing the reports of two would corrupt both.
    if (!IsHeld(device)) return true;
  } else {
    std::unique_ptr<PanelPort> port = bus_.CheckOutAt(index);
    // Nothing lent means nothing reachable; showing "connected" would lie.
    if (!port) return true;
    if (!port->ReadWriteAccess()) {
      RefuseWithoutAccess(*port);
      return true;  // the port goes back to the controller here
    }
    link_.panel = std::move(port);
    status_.Connected();
  }
  ShowConnected();
  SettleStatus();
  RequestTicksIfPending();
  return true;
}

void DeviceLink::ShowConnected() {
  PanelView& view = link_.view;
  view.SetStatus(kConnected, kConnectedGreen);
  view.SetProgressSmooth(false);
  view.SetProgressPosition(0);
  link_.state.ReadStep = 254;
  link_.state.TypeQueryCountdown = 1;
  view.SetDeviceButtons(true);
}

void DeviceLink::RefuseWithoutAccess(const PanelPort& port) {
  link_.view.SetStatus(kNoAccess, kDisconnectedRed);
  link_.view.SetDeviceButtons(false);
  const std::string path = port.DevicePath();
  if (deniedIdentity_ == port.Identity() && deniedPath_ == path) return;
  deniedIdentity_ = port.Identity();
  deniedPath_ = path;
  refusedAsBusy_ = port.HeldByAnotherProgram();
  pendingAccessMessage_ = NoAccessMessage(path, refusedAsBusy_);
  // A modal box inside the controller's own scan could let a nested scan run
  // over its device list; the message waits until the scan is over.
  if (scanDepth_ == 0) ShowPendingAccessMessage();
}

void DeviceLink::ShowPendingAccessMessage() {
  if (pendingAccessMessage_.empty()) return;
  const std::string message = std::move(pendingAccessMessage_);
  pendingAccessMessage_.clear();
  link_.view.ShowMessage(message);
}

void DeviceLink::HIDDeviceChange() {
  {
    struct ScanGuard {
      int& depth;
      explicit ScanGuard(int& d) : depth(d) { ++depth; }
      ~ScanGuard() { --depth; }
    } guard(scanDepth_);
    bus_.EnumerateDevices();
  }
  RequestTicksIfPending();
  if (scanDepth_ == 0) ShowPendingAccessMessage();
}

void DeviceLink::HIDRemoval(OfferedDevice& device) {
  if (!IsPanel(device)) return;
  if (deniedIdentity_ == device.Identity()) {
    // Unplugged: the next plug of this node is reported again.
    deniedIdentity_ = nullptr;
    deniedPath_.clear();
  }
  // Removing some other device must not let go of the held panel.
  if (link_.panel && !IsHeld(device)) return;
  link_.panel.reset();
  status_.Disconnected();
  PanelView& view = link_.view;
  view.SetStatus(kDisconnected, kDisconnectedRed);
  view.SetProgressSmooth(false);
  view.SetProgressPosition(0);
  view.SetDeviceType("");
  view.SetDeviceVersion("");
  view.SetDeviceButtons(false);
  SettleStatus();
}

void DeviceLink::HIDDeviceData(OfferedDevice& device, uint8_t /*reportId*/, const uint8_t* data,
                               int size) {
  try {
    // Only the held panel speaks; anything else would mix into its exchange.
    // An empty report carries no header; dispatching would repeat the
    // previous report as if the panel had answered twice.
    if (IsHeld(device) && IsPanel(device) && data != nullptr && size > 0) {
      const int count = link_.in.Store(data, size);
      if (link_.view.IsLogVisible()) {
        std::string line;
        line.reserve(static_cast<size_t>(count) * 4);
        for (int k = 1; k <= count; ++k) {
          line += std::to_string(link_.in[k]);
          line += ' ';
        }
        LogInReport(line);
      }
      status_.Received(link_.in, clock_());
      DispatchInReport();
    }
  } catch (...) {
    // A failing report is dropped; the next one is handled normally.
  }
  try {
    SettleStatus();
    RequestTicksIfPending();
    StopTicksIfIdle();
  } catch (...) {
  }
}

void DeviceLink::LogInReport(const std::string& line) {
  if (link_.view.IsLogVisible()) link_.view.AppendLogLine(line);
}

void DeviceLink::DispatchInReport() {
  const protocol::InReport& in = link_.in;
  const bool fromPanel = in[1] == kFrameMark && in[2] == kFromPanel;
  if (fromPanel && in[3] == kKindAck) write_.Acknowledge(in[4]);
  if (!(in[1] == kFrameMark && in[2] == kFromPanel && in[3] == kKindValue)) return;
  const int code = in[4];
  if (code >= 1 && code <= kParameterCount) {
    read_.StoreParameter(code);
  } else {
    switch (code) {
      case cmdDeviceType: read_.DeviceTypeReply(); break;
      case cmdFirmwareVersion: read_.FirmwareVersionReply(); break;
      case cmdWirelessList: wireless_.ListReply(); break;
      case rplCodeSaved: link_.view.ShowMessage("Код сохранен"); break;
      case rplKeyListEnd: keys_.FinishKeyList(); break;
      case rplKeyRecord: keys_.AddKeyRow(); break;
      default: break;
    }
  }
  read_.Advance();
}

void DeviceLink::IdentificationTick() {
  LinkState& s = link_.state;
  uint8_t query = 0;
  if (s.TypeQueryCountdown > 0) {
    if (--s.TypeQueryCountdown == 0) query = cmdDeviceType;
  } else if (s.VersionQueryCountdown > 0) {
    if (--s.VersionQueryCountdown == 0) query = cmdFirmwareVersion;
  }
  if (query == 0) return;
  link_.out.PutHeader(kClassQuery, query);
  link_.out[5] = kTypeNumber;
  link_.out[6] = 4;
  link_.SendOutReport();
}

void DeviceLink::TimerTimer() {
  const LinkState& s = link_.state;
  if (s.TypeQueryCountdown > 0 || s.VersionQueryCountdown > 0) IdentificationTick();
  if (s.ReadState == 1) read_.SendReadRequest();
  if (s.WriteState == 1) write_.SendWriteStep();
  status_.Tick(clock_());
  SettleStatus();
  StopTicksIfIdle();
}

void DeviceLink::StopTicksIfIdle() {
  if (!timerRunning_ || link_.state.RequestPending() || status_.Watching()) return;
  timerRunning_ = false;
  link_.view.SetTimerRunning(false);
}

void DeviceLink::ButtonReadClick() {
  read_.ButtonReadClick();
  status_.ReadClicked();
  AfterClick();
}

void DeviceLink::ButtonWriteClick() {
  write_.ButtonWriteClick();
  status_.WriteClicked();
  AfterClick();
}

void DeviceLink::AfterClick() {
  SettleStatus();
  RequestTicksIfPending();
}

void DeviceLink::ButtonWriteKeysClick(const std::string& minText, const std::string& maxText) {
  keys_.ButtonWriteKeysClick(minText, maxText);
  AfterClick();
}
void DeviceLink::ButtonDelKeysClick(const std::string& minText, const std::string& maxText) {
  keys_.ButtonDelKeysClick(minText, maxText);
  AfterClick();
}
void DeviceLink::ButtonDelAllKeysClick() {
  keys_.ButtonDelAllKeysClick();
  AfterClick();
}
void DeviceLink::ButtonReadKeysClick() {
  keys_.ButtonReadKeysClick();
  AfterClick();
}
void DeviceLink::ButtonWriteTrinketClick(const std::string& numberText) {
  wireless_.ButtonWriteTrinketClick(numberText);
  AfterClick();
}
void DeviceLink::ButtonDelTrinketClick(const std::string& numberText) {
  wireless_.ButtonDelTrinketClick(numberText);
  AfterClick();
}
void DeviceLink::ButtonDelAllTrinketClick() {
  wireless_.ButtonDelAllTrinketClick();
  AfterClick();
}
void DeviceLink::ButtonWriteSensorClick(const std::string& numberText, bool loop3) {
  wireless_.ButtonWriteSensorClick(numberText, loop3);
  AfterClick();
}
void DeviceLink::ButtonDelSensorClick(const std::string& numberText, bool loop3) {
  wireless_.ButtonDelSensorClick(numberText, loop3);
  AfterClick();
}
void DeviceLink::ButtonDelAllSensorClick() {
  wireless_.ButtonDelAllSensorClick();
  AfterClick();
}
void DeviceLink::ButtonReadWireLessClick() {
  wireless_.ButtonReadWireLessClick();
  AfterClick();
}

}  // namespace zarvex::protocol
