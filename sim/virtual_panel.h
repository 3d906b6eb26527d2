#pragma once
// The simulated panel plugged into the in-process virtual HID layer as a
// device "ZARVEX - ZX4110" with 65-byte reports. Every call is thread-safe;
// answers and unsolicited reports reach the host through SendInputReport.
// Destroy it only while no host write can be running (on the main thread).

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "hid/virtual_hid_platform.h"
#include "sim/panel_model.h"

namespace zarvex::sim {

inline constexpr const char* kPanelProductString = "ZARVEX - ZX4110";

class VirtualPanel final : public hid::VirtualDeviceBehaviour {
 public:
  explicit VirtualPanel(hid::VirtualHidPlatform& platform);
  ~VirtualPanel() override;  // unplugs
  VirtualPanel(const VirtualPanel&) = delete;
  VirtualPanel& operator=(const VirtualPanel&) = delete;

  // The device as the panel presents itself; a test may alter it (another
  // report length, no read-write access) and plug that.
  static hid::VirtualDeviceSpec PanelDevice();

  // Plugs a new panel with factory values, replacing one already plugged.
  void Plug(PanelKind kind);
  void Plug(PanelKind kind, int firmwareVersion);
  void Plug(PanelKind kind, int firmwareVersion, const hid::VirtualDeviceSpec& device);
  // Plugs the same panel back, with everything it holds.
  void Replug();
  void Unplug();
  bool IsPlugged() const;
  std::optional<hid::VirtualHidPlatform::DeviceId> DeviceId() const;

  // The outside world and the faults of PanelModel, passed through.
  void PresentKey(const KeyBytes& key);
  void AnswerPairing();
  void DropNextAnswer();
  void HoldNextAnswer();
  void ReleaseHeldAnswers();
  void AnswerOtherParameter(int parameter);
  void ShortenNextAnswer(std::size_t length);
  void LengthenNextAnswer(std::size_t length);
  void MalformNextAnswer(Malformation malformation);
  void UnplugAfterRequests(int n);
  void FallSilentAfterRequests(int n);
  void KeepParameter(int parameter);
  // Any report at all, on demand (see Shortened, Lengthened, Malformed).
  void SendReport(Report report);

  // What the panel holds, copied out under the lock.
  PanelConfiguration Configuration() const;
  std::map<int, KeyBytes> StoredKeys() const;
  std::string WirelessPresence() const;
  int FirmwareVersion() const;
  std::vector<Report> ReceivedReports() const;
  Report ParameterReport(int parameter) const;  // to build damaged copies of
  // Anything else (setting values up, pairing devices directly), under the
  // lock. Must not call back into this object. Does nothing without a panel.
  void WithModel(const std::function<void(PanelModel&)>& action);

  // hid::VirtualDeviceBehaviour
  void OnOutputReport(const std::vector<uint8_t>& report) override;

 private:
  // Runs a model call under the lock and sends what it answers.
  void Run(const std::function<std::vector<Report>(PanelModel&)>& call);
  void Send(std::optional<hid::VirtualHidPlatform::DeviceId> id, std::vector<Report> reports);

  hid::VirtualHidPlatform& platform_;
  mutable std::mutex mutex_;
  std::optional<PanelModel> model_;
  hid::VirtualDeviceSpec device_ = PanelDevice();
  std::optional<hid::VirtualHidPlatform::DeviceId> id_;
};

}  // namespace zarvex::sim
