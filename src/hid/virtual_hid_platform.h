#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

namespace zarvex::hid {

struct VirtualDeviceSpec {
  std::string productString;  // UTF-8
  uint16_t vendorId = 0, productId = 0, versionNumber = 0;
  int inputReportByteLength = 65;  // including the report ID byte
  int outputReportByteLength = 65;
  bool readWriteAccess = true;  // false: it can be opened query-only, never read-write
};

// Implemented by whatever plays the device (the panel simulator, tests).
class VirtualDeviceBehaviour {
 public:
  virtual ~VirtualDeviceBehaviour() = default;
  // An output report written by the host, report ID byte first, exactly the
  // bytes written; called on the thread that wrote it (the main thread).
  virtual void OnOutputReport(const std::vector<uint8_t>& report) = 0;
};

// In-process HID devices, plugged and unplugged by code. Input reports are
// queued per device until a reader takes them; unplugging drops the queue.
// Thread-safe. Must outlive every controller and device that uses it.
class VirtualHidPlatform final : public THidPlatform {
 public:
  using DeviceId = int;

  VirtualHidPlatform();
  ~VirtualHidPlatform() override;

  DeviceId Plug(const VirtualDeviceSpec& profile, VirtualDeviceBehaviour* behaviour);  // raises the change notification
  void Unplug(DeviceId id);                                                         // raises the change notification
  // Queues an input report (report ID byte first) for the device's reader. Any thread, also from inside OnOutputReport.
  void SendInputReport(DeviceId id, std::vector<uint8_t> report);

  // Inspection for tests and benchmarks.
  bool IsPlugged(DeviceId id) const;
  std::string DevicePath(DeviceId id) const;
  std::size_t QueuedInputReports(DeviceId id) const;  // sent, not yet read
  int WaitingReads(DeviceId id) const;                // reads blocked right now
  int CancelledReads(DeviceId id) const;              // reads ended by CancelRead so far
  int OpenHandles(DeviceId id) const;
  int EndedPendingReads(DeviceId id) const;  // EndPendingRead calls so far
  // What the device answers from now on when asked for its product string.
  void SetProductString(DeviceId id, std::string productString);
  // Whether the device opens read-write from now on (udev setting the
  // node's permissions after it was first listed).
  void SetReadWriteAccess(DeviceId id, bool allowed);
  // Makes the next Open of the device fail (e.g. a device that cannot be reopened).
  void FailNextOpens(DeviceId id, int count);

  // THidPlatform
  std::vector<THidInterface> PresentInterfaces() override;
  std::unique_ptr<THidHandle> Open(const std::string& devicePath, THidAccess access,
                                   uint32_t& error) override;
  void WatchChanges(THidMainLoop& loop, std::function<void()> onChange) override;
  void UnwatchChanges() override;
  // One claim per device at a time, across every controller on this platform.
  std::unique_ptr<THidClaim> Claim(const std::string& devicePath, uint32_t& error) override;
  THidErrorKind ClassifyError(uint32_t error) const override;
  uint32_t ErrorCode(THidErrorKind kind) const override;
  bool Claimed(DeviceId id) const;

  struct State;  // shared with the open handles

 private:
  void RaiseChange();
  std::shared_ptr<State> state_;
};

}  // namespace zarvex::hid
