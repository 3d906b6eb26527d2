#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "hid/hid_events.h"
#include "hid/hid_platform.h"

namespace zarvex::hid {

class THidDeviceController;
class THidDeviceReadThread;
class THidMainLoop;

// One HID interface as the controller lists it. All members are for the
// main thread. A holder gets one from THidDeviceController::CheckOutAt as a
// THidDeviceHold; destroying a device checks it in: a plugged one is
// replaced in its list slot by a fresh object, an unplugged one leaves the
// list. A device left held when its controller is destroyed is orphaned: it
// stays valid and is released as usual.
class THidDevice {
 public:
  // Opens the interface read-write, else query-only, and reads its
  // attributes. Throws EControllerError "device cannot be opened" or
  // "device cannot be identified". The platform and the loop must outlive
  // the device.
  THidDevice(THidDeviceController* controller, THidPlatform& platform, THidMainLoop& loop,
             THidInterface pnpInfo);
  ~THidDevice();
  THidDevice(const THidDevice&) = delete;
  THidDevice& operator=(const THidDevice&) = delete;

  THidDeviceController* Controller() const { return controller_; }
  const std::string& DevicePath() const { return pnpInfo_.devicePath; }
  const std::string& DeviceInstance() const { return pnpInfo_.instance; }
  const THidAttributes& Attributes() const { return attributes_; }
  uint16_t VendorID() const { return attributes_.vendorId; }
  uint16_t ProductID() const { return attributes_.productId; }
  uint16_t VersionNumber() const { return attributes_.versionNumber; }

  bool Plugged() const { return plugged_; }
  bool CheckedOut() const { return checkedOut_; }
  bool InEvent() const { return inEvent_; }
  // The last opening of the main handle was read-write, and no other
  // holder has the device claimed.
  bool ReadWriteAccess() const { return readWriteAccess_ && !claimRefused_; }
  // Platform code of the last failed read-write opening or claim, 0 when
  // both succeeded: why a listed device is query-only.
  uint32_t OpenError() const { return openError_; }
  // Checking it out found it claimed by another holder (another program).
  bool HeldElsewhere() const { return heldElsewhere_; }

  // UTF-8. Cached once non-empty; asked of the device only while it is
  // plugged and checked out or being offered, so a removed device keeps
  // reporting what was fetched while it was offered.
  std::string ProductString();
  // Report lengths including the report ID byte; all 0 when they cannot be read.
  THidCaps ReportCaps();
  // buffer[0] is the report ID. Leaves the main handle open.
  bool WriteReport(const uint8_t* buffer, int length, uint32_t& written);
  bool WriteReport(const uint8_t* buffer, int length);

  // Opens only while plugged and checked out or being offered; returns
  // whether the main handle is open.
  bool OpenMainHandle();
  void CloseMainHandle();
  void CloseHandles();  // main and read

  int ReadSleepTime() const { return readSleepTime_; }
  void SetReadSleepTime(int ms);  // taken only in 10..10000

  // Clearing the data handler stops the reading thread; assigning one starts
  // it when the device is plugged, checked out and read-write.
  void SetDataHandler(THidDataEvent handler);
  void SetDataErrorHandler(THidDataErrorEvent handler);
  void SetUnplugHandler(THidPlugEvent handler);
  bool HasDataHandler() const { return static_cast<bool>(dataHandler_); }
  bool HasDataErrorHandler() const { return static_cast<bool>(dataErrorHandler_); }

  void StartReading();
  void StopReading();
  bool Reading() const { return static_cast<bool>(readThread_); }

  // Handlers are shared between the controller and its devices; the pointer
  // is their identity, so the controller's setters can tell which devices
  // still carry its handler.
  using DataSlot = std::shared_ptr<const THidDataEvent>;
  using DataErrorSlot = std::shared_ptr<const THidDataErrorEvent>;
  using PlugSlot = std::shared_ptr<const THidPlugEvent>;
  DataSlot DataHandlerSlot() const { return dataHandler_; }
  DataErrorSlot DataErrorHandlerSlot() const { return dataErrorHandler_; }
  PlugSlot UnplugHandlerSlot() const { return unplugHandler_; }
  void SetDataHandlerSlot(DataSlot handler);
  void SetDataErrorHandlerSlot(DataErrorSlot handler) { dataErrorHandler_ = std::move(handler); }
  void SetUnplugHandlerSlot(PlugSlot handler) { unplugHandler_ = std::move(handler); }

  // Unique for every device object of the process; never reused.
  uint64_t Serial() const { return serial_; }

 private:
  friend class THidDeviceController;
  friend class THidDeviceReadThread;

  // Reading thread: the read handle, opened on first use; null with error set
  // when the device is not plugged, not held or cannot be opened.
  std::shared_ptr<THidHandle> BeginRead(uint32_t& error);
  void DropReadHandle(const std::shared_ptr<THidHandle>& handle);
  void CancelRead();  // any thread: ends a read in progress
  void CloseReadHandle();
  void MarkUnplugged();
  void Detach() { controller_ = nullptr; }
  void SetInEvent(bool v) { inEvent_ = v; }
  void SetCheckedOut(bool v) { checkedOut_ = v; }
  // At check-out: claims the device for this holder, or marks it held elsewhere.
  void Claim();

  THidDeviceController* controller_;
  THidPlatform& platform_;
  THidMainLoop& loop_;
  THidInterface pnpInfo_;
  uint64_t serial_;
  std::atomic<bool> plugged_{true};
  std::atomic<bool> checkedOut_{false};
  std::atomic<bool> inEvent_{false};
  std::unique_ptr<THidHandle> mainHandle_;
  std::mutex readMutex_;                   // the read handle is shared with the reading thread
  std::shared_ptr<THidHandle> readHandle_;  // guarded by readMutex_
  THidAttributes attributes_;
  std::string productString_;
  std::optional<THidCaps> caps_;
  std::atomic<int> readSleepTime_{100};
  DataSlot dataHandler_;
  DataErrorSlot dataErrorHandler_;
  PlugSlot unplugHandler_;
  bool readWriteAccess_ = false;
  bool claimRefused_ = false;
  bool heldElsewhere_ = false;  // refused as busy
  uint32_t openError_ = 0;
  std::unique_ptr<THidClaim> claim_;  // while checked out with read-write access
  std::unique_ptr<THidDeviceReadThread> readThread_;
};

// The owning handle of a checked-out device; its release is the check-in.
using THidDeviceHold = std::unique_ptr<THidDevice>;

}  // namespace zarvex::hid
