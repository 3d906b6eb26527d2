#include "sim/virtual_panel.h"

namespace zarvex::sim {

// Locking: the platform never holds its own lock while it calls
// OnOutputReport, so taking the platform's lock under ours cannot deadlock,
// and sending under our lock keeps the reports in the order the model made them.

VirtualPanel::VirtualPanel(hid::VirtualHidPlatform& platform) : platform_(platform) {}

VirtualPanel::~VirtualPanel() { Unplug(); }

hid::VirtualDeviceSpec VirtualPanel::PanelDevice() {
  hid::VirtualDeviceSpec device;
  device.productString = kPanelProductString;
  device.inputReportByteLength = static_cast<int>(kReportLength);
  device.outputReportByteLength = static_cast<int>(kReportLength);
  return device;
}

void VirtualPanel::Plug(PanelKind kind) { Plug(kind, DefaultFirmwareVersion(kind)); }

void VirtualPanel::Plug(PanelKind kind, int firmwareVersion) { Plug(kind, firmwareVersion, PanelDevice()); }

void VirtualPanel::Plug(PanelKind kind, int firmwareVersion, const hid::VirtualDeviceSpec& device) {
  std::lock_guard lock(mutex_);
  if (id_) platform_.Unplug(*id_);
  model_.emplace(kind, firmwareVersion);
  device_ = device;
  id_ = platform_.Plug(device_, this);
}

void VirtualPanel::Replug() {
  std::lock_guard lock(mutex_);
  if (!model_ || id_) return;
  model_->Replug();
  id_ = platform_.Plug(device_, this);
}

void VirtualPanel::Unplug() {
  std::lock_guard lock(mutex_);
  if (!id_) return;
  platform_.Unplug(*id_);
  id_.reset();
}

bool VirtualPanel::IsPlugged() const {
  std::lock_guard lock(mutex_);
  return id_.has_value();
}

std::optional<hid::VirtualHidPlatform::DeviceId> VirtualPanel::DeviceId() const {
  std::lock_guard lock(mutex_);
  return id_;
}

void VirtualPanel::OnOutputReport(const std::vector<uint8_t>& report) {
  std::lock_guard lock(mutex_);
  if (!model_ || !id_) return;
  auto answer = model_->HandleOutputReport(report);
  Send(id_, std::move(answer.reports));
  if (answer.unplug) {
    platform_.Unplug(*id_);
    id_.reset();
  }
}

void VirtualPanel::Run(const std::function<std::vector<Report>(PanelModel&)>& call) {
  std::lock_guard lock(mutex_);
  if (!model_) return;
  Send(id_, call(*model_));
}

void VirtualPanel::Send(std::optional<hid::VirtualHidPlatform::DeviceId> id, std::vector<Report> reports) {
  if (!id) return;  // a panel out of its socket says nothing
  for (auto& report : reports) platform_.SendInputReport(*id, std::move(report));
}

// An unplugged panel has no power: it neither learns keys nor pairs.
void VirtualPanel::PresentKey(const KeyBytes& key) {
  Run([&](PanelModel& m) { return id_ ? m.PresentKey(key) : std::vector<Report>{}; });
}

void VirtualPanel::AnswerPairing() {
  Run([&](PanelModel& m) { return id_ ? m.AnswerPairing() : std::vector<Report>{}; });
}

void VirtualPanel::DropNextAnswer() {
  Run([](PanelModel& m) { m.DropNextAnswer(); return std::vector<Report>{}; });
}

void VirtualPanel::HoldNextAnswer() {
  Run([](PanelModel& m) { m.HoldNextAnswer(); return std::vector<Report>{}; });
}

void VirtualPanel::ReleaseHeldAnswers() {
  Run([](PanelModel& m) { return m.ReleaseHeldAnswers(); });
}

void VirtualPanel::AnswerOtherParameter(int parameter) {
  Run([&](PanelModel& m) { m.AnswerOtherParameter(parameter); return std::vector<Report>{}; });
}

void VirtualPanel::ShortenNextAnswer(std::size_t length) {
  Run([&](PanelModel& m) { m.ShortenNextAnswer(length); return std::vector<Report>{}; });
}

void VirtualPanel::LengthenNextAnswer(std::size_t length) {
  Run([&](PanelModel& m) { m.LengthenNextAnswer(length); return std::vector<Report>{}; });
}

void VirtualPanel::MalformNextAnswer(Malformation malformation) {
  Run([&](PanelModel& m) { m.MalformNextAnswer(malformation); return std::vector<Report>{}; });
}

void VirtualPanel::UnplugAfterRequests(int n) {
  Run([&](PanelModel& m) { m.UnplugAfterRequests(n); return std::vector<Report>{}; });
}

void VirtualPanel::FallSilentAfterRequests(int n) {
  Run([&](PanelModel& m) { m.FallSilentAfterRequests(n); return std::vector<Report>{}; });
}

void VirtualPanel::KeepParameter(int parameter) {
  Run([&](PanelModel& m) { m.KeepParameter(parameter); return std::vector<Report>{}; });
}

void VirtualPanel::SendReport(Report report) {
  std::lock_guard lock(mutex_);
  Send(id_, {std::move(report)});
}

PanelConfiguration VirtualPanel::Configuration() const {
  std::lock_guard lock(mutex_);
  return model_ ? model_->Configuration() : PanelConfiguration{};
}

std::map<int, KeyBytes> VirtualPanel::StoredKeys() const {
  std::lock_guard lock(mutex_);
  return model_ ? model_->Keys().Stored() : std::map<int, KeyBytes>{};
}

std::string VirtualPanel::WirelessPresence() const {
  std::lock_guard lock(mutex_);
  return model_ ? model_->Wireless().PresenceText() : std::string{};
}

int VirtualPanel::FirmwareVersion() const {
  std::lock_guard lock(mutex_);
  return model_ ? model_->FirmwareVersion() : 0;
}

std::vector<Report> VirtualPanel::ReceivedReports() const {
  std::lock_guard lock(mutex_);
  return model_ ? model_->ReceivedReports() : std::vector<Report>{};
}

Report VirtualPanel::ParameterReport(int parameter) const {
  std::lock_guard lock(mutex_);
  return model_ ? model_->ParameterReport(parameter) : Report{};
}

void VirtualPanel::WithModel(const std::function<void(PanelModel&)>& action) {
  std::lock_guard lock(mutex_);
  if (model_) action(*model_);
}

}  // namespace zarvex::sim
