#include "hid/virtual_hid_platform.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>

#include "hid/errno_kind.h"
#include "hid/hid_main_loop.h"

namespace zarvex::hid {

namespace {
constexpr const char* kPathPrefix = "virtual:hid";
}

struct VirtualHidPlatform::State {
  struct Device {
    VirtualDeviceSpec profile;
    VirtualDeviceBehaviour* behaviour = nullptr;
    bool plugged = true;
    std::deque<std::vector<uint8_t>> inputs;
    int waitingReads = 0;
    int cancelledReads = 0;
    int openHandles = 0;
    int failOpens = 0;
    bool claimed = false;
    int endedPendingReads = 0;
  };

  mutable std::mutex mutex;
  std::condition_variable changed;  // input queued, device unplugged or read cancelled
  std::map<DeviceId, Device> devices;
  DeviceId nextId = 1;
  THidMainLoop* loop = nullptr;
  std::shared_ptr<std::function<void()>> onChange;

  Device* Find(DeviceId id) {
    auto it = devices.find(id);
    return it == devices.end() ? nullptr : &it->second;
  }
  const Device* Find(DeviceId id) const {
    auto it = devices.find(id);
    return it == devices.end() ? nullptr : &it->second;
  }
  // The plugged device at this id; null with ENOENT otherwise. Under the mutex.
  Device* Plugged(DeviceId id, uint32_t& error) {
    Device* d = Find(id);
    if (d && d->plugged) return d;
    error = ENOENT;
    return nullptr;
  }
};

namespace {

class VirtualHandle final : public THidHandle {
 public:
  VirtualHandle(std::shared_ptr<VirtualHidPlatform::State> state, VirtualHidPlatform::DeviceId id,
                bool readWrite)
      : state_(std::move(state)), id_(id), readWrite_(readWrite) {}

  ~VirtualHandle() override {
    std::lock_guard lock(state_->mutex);
    if (auto* d = state_->Find(id_)) --d->openHandles;
  }

  bool Attributes(THidAttributes& out) override {
    std::lock_guard lock(state_->mutex);
    auto* d = Plugged();
    if (!d) return false;
    out = {d->profile.vendorId, d->profile.productId, d->profile.versionNumber};
    return true;
  }

  bool ProductString(std::string& out) override {
    std::lock_guard lock(state_->mutex);
    auto* d = Plugged();
    if (!d) return false;
    out = d->profile.productString;
    return true;
  }

  void EndPendingRead() override {
    std::lock_guard lock(state_->mutex);
    if (auto* d = state_->Find(id_)) ++d->endedPendingReads;
  }

  bool Caps(THidCaps& out) override {
    std::lock_guard lock(state_->mutex);
    auto* d = Plugged();
    if (!d) return false;
    out = {};
    out.inputReportByteLength = static_cast<uint16_t>(std::clamp(d->profile.inputReportByteLength, 0, 65535));
    out.outputReportByteLength = static_cast<uint16_t>(std::clamp(d->profile.outputReportByteLength, 0, 65535));
    return true;
  }

  bool Write(const uint8_t* data, std::size_t length, std::size_t& written) override {
    written = 0;
    VirtualDeviceBehaviour* behaviour = nullptr;
    {
      std::lock_guard lock(state_->mutex);
      auto* d = Plugged();
      if (!d) return Fail(ENODEV);
      if (!readWrite_) return Fail(EBADF);
      if (length == 0) return Fail(EINVAL);
      behaviour = d->behaviour;
    }
    // Outside the lock: the behaviour may answer at once with SendInputReport.
    if (behaviour) behaviour->OnOutputReport(std::vector<uint8_t>(data, data + length));
    written = length;
    return true;
  }

  THidReadResult Read(uint8_t* buffer, std::size_t length, int timeoutMs) override {
    std::unique_lock lock(state_->mutex);
    auto* d = Plugged();
    if (!d) return {THidReadStatus::Failed, 0, ENODEV};
    if (!readWrite_) return {THidReadStatus::Failed, 0, EBADF};
    ++d->waitingReads;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    THidReadResult result{THidReadStatus::TimedOut, 0, 0};
    for (;;) {
      d = state_->Find(id_);  // the map keeps entries; re-find for clarity
      if (!d->plugged) {
        result = {THidReadStatus::Failed, 0, ENODEV};
        break;
      }
      if (cancelled_) {
        cancelled_ = false;
        ++d->cancelledReads;
        result = {THidReadStatus::Cancelled, 0, 0};
        break;
      }
      if (!d->inputs.empty()) {
        std::vector<uint8_t> report = std::move(d->inputs.front());
        d->inputs.pop_front();
        const std::size_t n = std::min(length, report.size());
        if (n) std::memcpy(buffer, report.data(), n);
        result = {THidReadStatus::Data, n, 0};
        break;
      }
      if (state_->changed.wait_until(lock, deadline) == std::cv_status::timeout) {
        // One last look, so a report, cancel or unplug that raced the deadline is not missed.
        const auto* last = state_->Find(id_);
        if (last->plugged && last->inputs.empty() && !cancelled_) {
          result = {THidReadStatus::TimedOut, 0, 0};
          break;
        }
      }
    }
    --state_->Find(id_)->waitingReads;
    return result;
  }

  void CancelRead() override {
    {
      std::lock_guard lock(state_->mutex);
      cancelled_ = true;
    }
    state_->changed.notify_all();
  }

  uint32_t LastError() const override { return lastError_; }

 private:
  VirtualHidPlatform::State::Device* Plugged() {
    auto* d = state_->Find(id_);
    return d && d->plugged ? d : nullptr;
  }
  bool Fail(uint32_t error) {
    lastError_ = error;
    return false;
  }

  std::shared_ptr<VirtualHidPlatform::State> state_;
  VirtualHidPlatform::DeviceId id_;
  bool readWrite_;
  bool cancelled_ = false;  // guarded by state_->mutex
  uint32_t lastError_ = 0;
};

}  // namespace

VirtualHidPlatform::VirtualHidPlatform() : state_(std::make_shared<State>()) {}

VirtualHidPlatform::~VirtualHidPlatform() { UnwatchChanges(); }

VirtualHidPlatform::DeviceId VirtualHidPlatform::Plug(const VirtualDeviceSpec& profile,
                                                      VirtualDeviceBehaviour* behaviour) {
  DeviceId id;
  {
    std::lock_guard lock(state_->mutex);
    id = state_->nextId++;
    auto& d = state_->devices[id];
    d.profile = profile;
    d.behaviour = behaviour;
  }
  RaiseChange();
  return id;
}

void VirtualHidPlatform::Unplug(DeviceId id) {
  {
    std::lock_guard lock(state_->mutex);
    auto* d = state_->Find(id);
    if (!d || !d->plugged) return;
    d->plugged = false;
    d->behaviour = nullptr;
    d->inputs.clear();
  }
  state_->changed.notify_all();
  RaiseChange();
}

void VirtualHidPlatform::SendInputReport(DeviceId id, std::vector<uint8_t> report) {
  {
    std::lock_guard lock(state_->mutex);
    auto* d = state_->Find(id);
    if (!d || !d->plugged) return;
    d->inputs.push_back(std::move(report));
  }
  state_->changed.notify_all();
}

bool VirtualHidPlatform::IsPlugged(DeviceId id) const {
  std::lock_guard lock(state_->mutex);
  auto* d = state_->Find(id);
  return d && d->plugged;
}

std::string VirtualHidPlatform::DevicePath(DeviceId id) const { return kPathPrefix + std::to_string(id); }

std::size_t VirtualHidPlatform::QueuedInputReports(DeviceId id) const {
  std::lock_guard lock(state_->mutex);
  auto* d = state_->Find(id);
  return d ? d->inputs.size() : 0;
}

int VirtualHidPlatform::WaitingReads(DeviceId id) const {
  std::lock_guard lock(state_->mutex);
  auto* d = state_->Find(id);
  return d ? d->waitingReads : 0;
}

int VirtualHidPlatform::CancelledReads(DeviceId id) const {
  std::lock_guard lock(state_->mutex);
  auto* d = state_->Find(id);
  return d ? d->cancelledReads : 0;
}

int VirtualHidPlatform::OpenHandles(DeviceId id) const {
  std::lock_guard lock(state_->mutex);
  auto* d = state_->Find(id);
  return d ? d->openHandles : 0;
}

void VirtualHidPlatform::SetProductString(DeviceId id, std::string productString) {
  std::lock_guard lock(state_->mutex);
  if (auto* d = state_->Find(id)) d->profile.productString = std::move(productString);
}

void VirtualHidPlatform::SetReadWriteAccess(DeviceId id, bool allowed) {
  std::lock_guard lock(state_->mutex);
  if (auto* d = state_->Find(id)) d->profile.readWriteAccess = allowed;
}

void VirtualHidPlatform::FailNextOpens(DeviceId id, int count) {
  std::lock_guard lock(state_->mutex);
  if (auto* d = state_->Find(id)) d->failOpens = count;
}

std::vector<THidInterface> VirtualHidPlatform::PresentInterfaces() {
  std::lock_guard lock(state_->mutex);
  std::vector<THidInterface> result;
  for (const auto& [id, d] : state_->devices)
    if (d.plugged) result.push_back({kPathPrefix + std::to_string(id), "VIRTUAL:" + std::to_string(id)});
  return result;
}

namespace {

VirtualHidPlatform::DeviceId IdOfPath(const std::string& devicePath) {
  const std::string prefix = kPathPrefix;
  if (devicePath.compare(0, prefix.size(), prefix) != 0) return 0;
  const std::string digits = devicePath.substr(prefix.size());
  if (digits.empty() || digits.size() >= 10 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return 0;
  return std::stoi(digits);
}

class VirtualClaim final : public THidClaim {
 public:
  VirtualClaim(std::shared_ptr<VirtualHidPlatform::State> state, VirtualHidPlatform::DeviceId id)
      : state_(std::move(state)), id_(id) {}
  ~VirtualClaim() override;

 private:
  std::shared_ptr<VirtualHidPlatform::State> state_;
  VirtualHidPlatform::DeviceId id_;
};

}  // namespace

VirtualClaim::~VirtualClaim() {
  std::lock_guard lock(state_->mutex);
  if (auto* d = state_->Find(id_)) d->claimed = false;
}

std::unique_ptr<THidClaim> VirtualHidPlatform::Claim(const std::string& devicePath, uint32_t& error) {
  const DeviceId id = IdOfPath(devicePath);
  std::lock_guard lock(state_->mutex);
  auto* d = state_->Plugged(id, error);
  if (!d) return nullptr;
  if (d->claimed) {
    error = EBUSY;
    return nullptr;
  }
  d->claimed = true;
  error = 0;
  return std::make_unique<VirtualClaim>(state_, id);
}

int VirtualHidPlatform::EndedPendingReads(DeviceId id) const {
  std::lock_guard lock(state_->mutex);
  const auto* d = state_->Find(id);
  return d ? d->endedPendingReads : 0;
}

bool VirtualHidPlatform::Claimed(DeviceId id) const {
  std::lock_guard lock(state_->mutex);
  const auto* d = state_->Find(id);
  return d && d->claimed;
}

THidErrorKind VirtualHidPlatform::ClassifyError(uint32_t error) const { return ClassifyErrno(error); }
uint32_t VirtualHidPlatform::ErrorCode(THidErrorKind kind) const { return ErrnoOfKind(kind); }

std::unique_ptr<THidHandle> VirtualHidPlatform::Open(const std::string& devicePath, THidAccess access,
                                                     uint32_t& error) {
  const DeviceId id = IdOfPath(devicePath);
  std::lock_guard lock(state_->mutex);
  auto* d = state_->Plugged(id, error);
  if (!d) return nullptr;
  if (d->failOpens > 0) {
    --d->failOpens;
    error = EIO;
    return nullptr;
  }
  if (access == THidAccess::ReadWrite && !d->profile.readWriteAccess) {
    error = EACCES;
    return nullptr;
  }
  ++d->openHandles;
  error = 0;
  return std::make_unique<VirtualHandle>(state_, id, access == THidAccess::ReadWrite);
}

void VirtualHidPlatform::WatchChanges(THidMainLoop& loop, std::function<void()> onChange) {
  std::lock_guard lock(state_->mutex);
  state_->loop = &loop;
  state_->onChange = std::make_shared<std::function<void()>>(std::move(onChange));
}

void VirtualHidPlatform::UnwatchChanges() {
  std::lock_guard lock(state_->mutex);
  state_->loop = nullptr;
  state_->onChange.reset();
}

void VirtualHidPlatform::RaiseChange() {
  THidMainLoop* loop;
  std::weak_ptr<std::function<void()>> target;
  {
    std::lock_guard lock(state_->mutex);
    loop = state_->loop;
    target = state_->onChange;
  }
  // Posted, as the system's notification would be: it arrives on the main
  // loop after the plug, never inside it. A watcher gone meanwhile is skipped.
  if (loop)
    loop->Post([target] {
      if (auto fn = target.lock()) (*fn)();
    });
}

}  // namespace zarvex::hid
