#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hid/hid_device.h"
#include "hid/hid_events.h"
#include "hid/hid_platform.h"

namespace zarvex::hid {

class THidMainLoop;

// Shown when a device change could not be handled; further changes are then
// ignored until the program is restarted. UTF-8; lines separated by CR.
inline constexpr const char* kDeviceChangeFailureText =
    "Ошибка смены устройства.\rПерезапустите приложение Kelvora !";

// Keeps the list of HID devices present at the last scan, follows plug and
// unplug, offers the devices to its user and lends each to one holder at a
// time. Everything runs on the main thread; input reports reach the data
// handler there too. The platform and the loop must outlive the controller
// and every device checked out of it.
//
// Construction posts the start-up scan; it runs once the loop runs and
// raises OnDeviceChange even when no device is present. Until it has run
// the controller counts as being set up: assigning OnDeviceChange then
// only stores it. Later, every change notification of the platform ends in
// one scan, which raises OnDeviceChange when the list changed.
class THidDeviceController {
 public:
  THidDeviceController(THidPlatform& platform, THidMainLoop& loop);
  ~THidDeviceController();
  THidDeviceController(const THidDeviceController&) = delete;
  THidDeviceController& operator=(const THidDeviceController&) = delete;

  // The scan: removal, duplicate and arrival passes, recount, OnDeviceChange.
  void DeviceChange();
  // Offers every plugged device to OnEnumerate in list order until it
  // returns false; returns how many were offered (1 when some device is
  // plugged and OnEnumerate is unassigned).
  int EnumerateDevices();
  // Lends the device at index; null when index is outside the list or the
  // device is already checked out. Starts its reading thread when the
  // device has a data handler. Releasing the handle checks the device in.
  THidDeviceHold CheckOutAt(int index);

  int Count() const { return static_cast<int>(list_.size()); }
  THidDevice& At(int index) const { return *list_.at(static_cast<std::size_t>(index)); }
  int CheckedInCount() const { return checkedInCount_; }
  int CheckedOutCount() const { return checkedOutCount_; }
  int UnpluggedCount() const { return unpluggedCount_; }
  bool InDeviceChange() const { return inDeviceChange_; }
  // The component's version; it cannot be changed.
  static std::string Version() { return "1.0.34"; }

  int DevThreadSleepTime() const { return devThreadSleepTime_; }
  void SetDevThreadSleepTime(int ms);

  // Handlers. The device handlers pass on to every listed device that still
  // carries the previous one; devices created later take the current ones.
  void SetOnArrival(THidPlugEvent handler);
  void SetOnDeviceChange(THidNotifyEvent handler);
  void SetOnEnumerate(THidEnumerateEvent handler);
  void SetOnDeviceData(THidDataEvent handler);
  void SetOnDeviceDataError(THidDataErrorEvent handler);
  void SetOnDeviceUnplug(THidPlugEvent handler);
  void SetOnRemoval(THidPlugEvent handler);
  // Receives kDeviceChangeFailureText when a handler failed during a scan
  // started by a change notification.
  void SetOnChangeFailure(THidChangeFailureEvent handler);

 private:
  friend class THidDevice;

  void HandleDeviceChange(int messageParam);  // the notification entry, with its re-entry guard
  // From the device's destructor, with the handlers it carried.
  void CheckIn(THidDevice& device, THidDevice::DataSlot data, THidDevice::PlugSlot unplug);
  int IndexOf(uint64_t serial) const;
  int IndexOf(const THidDevice* device) const;
  void Recount();
  // Raises a plug event with InEvent set; false when the handler checked the
  // device in, which leaves it destroyed.
  bool RaisePlugEvent(const THidPlugEvent& handler, THidDevice& device);
  std::unique_ptr<THidDevice> CreateDevice(const THidInterface& info);

  THidPlatform& platform_;
  THidMainLoop& loop_;
  std::shared_ptr<THidDeviceController*> self_;  // lets posted tasks outlive us safely

  std::shared_ptr<const THidPlugEvent> onArrival_;
  THidNotifyEvent onDeviceChange_;
  THidEnumerateEvent onEnumerate_;
  THidDevice::DataSlot onDeviceData_;
  THidDevice::DataErrorSlot onDeviceDataError_;
  THidDevice::PlugSlot onDeviceUnplug_;
  std::shared_ptr<const THidPlugEvent> onRemoval_;
  THidChangeFailureEvent onChangeFailure_;
  int devThreadSleepTime_ = 100;

  // The controller owns every listed device that is not checked out.
  std::vector<THidDevice*> list_;
  int checkedInCount_ = 0;
  int checkedOutCount_ = 0;
  int unpluggedCount_ = 0;
  bool inDeviceChange_ = false;
  bool changeDuringScan_ = false;  // a notification came while a scan ran
  bool settingUp_ = true;
  int lastMessageParam_ = 0;
};

}  // namespace zarvex::hid
