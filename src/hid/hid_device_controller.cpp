#include "hid/hid_device_controller.h"

#include <algorithm>

#include "hid/controller_error.h"
#include "hid/hid_main_loop.h"

namespace zarvex::hid {

THidDeviceController::THidDeviceController(THidPlatform& platform, THidMainLoop& loop)
    : platform_(platform), loop_(loop), self_(std::make_shared<THidDeviceController*>(this)) {
  std::weak_ptr<THidDeviceController*> weak = self_;
  platform_.WatchChanges(loop_, [weak] {
    if (auto self = weak.lock()) (*self)->HandleDeviceChange(0);
  });
  // The first scan runs from the loop, once start-up is over.
  loop_.Post([weak] {
    if (auto self = weak.lock()) (*self)->HandleDeviceChange(-1);
  });
}

THidDeviceController::~THidDeviceController() {
  onDeviceChange_ = nullptr;
  SetOnDeviceUnplug(nullptr);
  onEnumerate_ = nullptr;
  platform_.UnwatchChanges();
  self_.reset();
  std::vector<THidDevice*> list;
  list.swap(list_);
  for (THidDevice* device : list) {
    device->Detach();
    if (device->CheckedOut())
      device->MarkUnplugged();  // its holder keeps it, orphaned, and still releases it
    else
      delete device;
  }
}

std::unique_ptr<THidDevice> THidDeviceController::CreateDevice(const THidInterface& info) {
  auto device = std::make_unique<THidDevice>(this, platform_, loop_, info);
  device->SetDataHandlerSlot(onDeviceData_);  // starts nothing: the device is not checked out
  device->SetUnplugHandlerSlot(onDeviceUnplug_);
  device->SetDataErrorHandlerSlot(onDeviceDataError_);
  return device;
}

int THidDeviceController::IndexOf(uint64_t serial) const {
  for (std::size_t i = 0; i < list_.size(); ++i)
    if (list_[i]->Serial() == serial) return static_cast<int>(i);
  return -1;
}

int THidDeviceController::IndexOf(const THidDevice* device) const {
  auto it = std::find(list_.begin(), list_.end(), device);
  return it == list_.end() ? -1 : static_cast<int>(it - list_.begin());
}

void THidDeviceController::HandleDeviceChange(int messageParam) {
  // A notification that arrives while a scan runs (a handler serving the
  // loop, a message box open) cannot start a nested scan; it is remembered
  // and scanned for once this one is over, so no plug goes unseen.
  if (inDeviceChange_) {
    changeDuringScan_ = true;
    return;
  }
  lastMessageParam_ = messageParam;
  inDeviceChange_ = true;
  do {
    changeDuringScan_ = false;
    try {
      DeviceChange();
    } catch (...) {
      // Device-change handling stays switched off until the program restarts.
      settingUp_ = false;
      if (onChangeFailure_) onChangeFailure_(kDeviceChangeFailureText);
      return;
    }
    // The start-up mark is spent: later scans, direct ones included, raise
    // OnDeviceChange only when the list changed.
    lastMessageParam_ = 0;
    settingUp_ = false;
  } while (changeDuringScan_);
  inDeviceChange_ = false;
}

void THidDeviceController::DeviceChange() {
  bool changed = lastMessageParam_ == -1;

  std::vector<std::unique_ptr<THidDevice>> fresh;
  for (const THidInterface& info : platform_.PresentInterfaces()) {
    try {
      fresh.push_back(CreateDevice(info));
    } catch (const EControllerError&) {
      // left out of the scan without a message
    }
  }

  // Removal pass, last to first. The walk goes by identity, since a handler
  // may check in another device than the one it was given.
  auto present = [&fresh](const THidDevice& d) {
    return d.Plugged() && std::any_of(fresh.begin(), fresh.end(), [&d](const auto& f) {
             return f->DeviceInstance() == d.DeviceInstance();
           });
  };
  std::vector<uint64_t> gone;
  for (auto it = list_.rbegin(); it != list_.rend(); ++it)
    if (!present(**it)) gone.push_back((*it)->Serial());
  for (uint64_t serial : gone) {
    int index = IndexOf(serial);
    if (index < 0) continue;  // checked in by an earlier handler
    THidDevice* device = list_[static_cast<std::size_t>(index)];
    device->MarkUnplugged();
    changed = true;
    if (auto handler = onRemoval_) {
      if (!RaisePlugEvent(*handler, *device)) continue;  // checked in: already gone
      index = IndexOf(serial);
    }
    if (!device->CheckedOut()) {
      list_.erase(list_.begin() + index);
      delete device;
    }
  }

  // Duplicate pass: drop new objects for interfaces already listed. A free
  // device first listed query-only that now opens read-write (its node got
  // its permissions after the first scan) is replaced in its slot and
  // counts as a change, so it is offered again.
  for (auto& f : fresh) {
    const auto listed = std::find_if(list_.begin(), list_.end(), [&f](const THidDevice* d) {
      return d->Plugged() && d->DeviceInstance() == f->DeviceInstance();
    });
    if (listed == list_.end()) continue;
    THidDevice* old = *listed;
    if (!old->CheckedOut() && !old->ReadWriteAccess() && f->ReadWriteAccess()) {
      *listed = f.release();
      old->Detach();
      delete old;
      changed = true;
      continue;
    }
    f->Detach();
    f.reset();
  }

  // Arrival pass.
  for (auto& f : fresh) {
    if (!f) continue;
    THidDevice* device = f.release();
    list_.push_back(device);
    changed = true;
    if (auto handler = onArrival_) RaisePlugEvent(*handler, *device);
  }

  Recount();
  if (changed && onDeviceChange_) {
    auto handler = onDeviceChange_;
    handler(*this);
  }
}

bool THidDeviceController::RaisePlugEvent(const THidPlugEvent& handler, THidDevice& device) {
  const uint64_t serial = device.Serial();
  device.SetInEvent(true);
  try {
    handler(device);
  } catch (...) {
    if (IndexOf(serial) >= 0) device.SetInEvent(false);
    throw;
  }
  const bool listed = IndexOf(serial) >= 0;
  if (listed) device.SetInEvent(false);
  return listed;
}

void THidDeviceController::Recount() {
  checkedInCount_ = 0;
  unpluggedCount_ = 0;
  int checkedOut = 0;
  for (const THidDevice* d : list_) {
    if (!d->CheckedOut()) ++checkedInCount_;
    if (!d->Plugged()) ++unpluggedCount_;
    if (d->CheckedOut()) ++checkedOut;
  }
  checkedOutCount_ = checkedOut - unpluggedCount_;
}

int THidDeviceController::EnumerateDevices() {
  std::vector<uint64_t> walk;
  walk.reserve(list_.size());
  for (const THidDevice* d : list_) walk.push_back(d->Serial());
  int n = 0;
  for (uint64_t serial : walk) {
    int index = IndexOf(serial);
    if (index < 0) continue;  // left the list during an earlier offer
    THidDevice* device = list_[static_cast<std::size_t>(index)];
    if (!device->Plugged()) continue;
    ++n;
    bool goOn = false;
    if (onEnumerate_) {
      auto handler = onEnumerate_;
      device->SetInEvent(true);
      try {
        goOn = handler(*device, index);
      } catch (...) {
        if (IndexOf(serial) >= 0) device->SetInEvent(false);
        throw;
      }
      if (IndexOf(serial) >= 0) {
        device->SetInEvent(false);
        // The handler may have opened the device to read its strings.
        if (!device->CheckedOut()) device->CloseHandles();
      }
    }
    if (!goOn) break;
  }
  return n;
}

THidDeviceHold THidDeviceController::CheckOutAt(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  THidDevice* device = list_[static_cast<std::size_t>(index)];
  if (device->CheckedOut()) return nullptr;
  device->SetCheckedOut(true);
  ++checkedOutCount_;
  --checkedInCount_;
  THidDeviceHold hold(device);
  device->Claim();
  device->StartReading();
  return hold;
}

void THidDeviceController::CheckIn(THidDevice& device, THidDevice::DataSlot data, THidDevice::PlugSlot unplug) {
  const int index = IndexOf(&device);
  if (index < 0) return;
  const auto slot = list_.begin() + index;
  if (!device.Plugged()) {
    list_.erase(slot);
    --unpluggedCount_;
    return;
  }
  const bool wasCheckedOut = device.CheckedOut();
  if (wasCheckedOut) {
    --checkedOutCount_;
    ++checkedInCount_;
  }
  std::unique_ptr<THidDevice> replacement;
  try {
    replacement = std::make_unique<THidDevice>(this, platform_, loop_, THidInterface{device.pnpInfo_});
  } catch (const EControllerError&) {
    // Cannot be reopened: it leaves the list as if unplugged; the next scan
    // offers it again.
    list_.erase(slot);
    --checkedInCount_;
    return;
  }
  replacement->SetDataHandlerSlot(std::move(data));
  replacement->SetUnplugHandlerSlot(std::move(unplug));
  replacement->SetDataErrorHandlerSlot(device.DataErrorHandlerSlot());
  replacement->SetReadSleepTime(device.ReadSleepTime());
  *slot = replacement.release();
}

void THidDeviceController::SetDevThreadSleepTime(int ms) {
  if (ms == devThreadSleepTime_) return;
  for (THidDevice* d : list_)
    if (d->ReadSleepTime() == devThreadSleepTime_) d->SetReadSleepTime(ms);
  devThreadSleepTime_ = ms;
}

void THidDeviceController::SetOnArrival(THidPlugEvent handler) {
  onArrival_ = handler ? std::make_shared<const THidPlugEvent>(std::move(handler)) : nullptr;
}

void THidDeviceController::SetOnDeviceChange(THidNotifyEvent handler) {
  if (!handler && !onDeviceChange_) return;
  onDeviceChange_ = std::move(handler);
  if (!settingUp_) DeviceChange();
}

void THidDeviceController::SetOnEnumerate(THidEnumerateEvent handler) { onEnumerate_ = std::move(handler); }

void THidDeviceController::SetOnDeviceData(THidDataEvent handler) {
  if (!handler && !onDeviceData_) return;
  THidDevice::DataSlot next = handler ? std::make_shared<const THidDataEvent>(std::move(handler)) : nullptr;
  // A handler may check devices in meanwhile; walk a snapshot by identity.
  std::vector<uint64_t> walk;
  for (const THidDevice* d : list_) walk.push_back(d->Serial());
  for (uint64_t serial : walk) {
    const int index = IndexOf(serial);
    if (index < 0) continue;
    THidDevice* d = list_[static_cast<std::size_t>(index)];
    if (d->DataHandlerSlot() == onDeviceData_) d->SetDataHandlerSlot(next);
  }
  onDeviceData_ = std::move(next);
}

void THidDeviceController::SetOnDeviceDataError(THidDataErrorEvent handler) {
  if (!handler && !onDeviceDataError_) return;
  THidDevice::DataErrorSlot next =
      handler ? std::make_shared<const THidDataErrorEvent>(std::move(handler)) : nullptr;
  for (THidDevice* d : list_)
    if (d->DataErrorHandlerSlot() == onDeviceDataError_) d->SetDataErrorHandlerSlot(next);
  onDeviceDataError_ = std::move(next);
}

void THidDeviceController::SetOnDeviceUnplug(THidPlugEvent handler) {
  if (!handler && !onDeviceUnplug_) return;
  THidDevice::PlugSlot next = handler ? std::make_shared<const THidPlugEvent>(std::move(handler)) : nullptr;
  for (THidDevice* d : list_)
    if (d->UnplugHandlerSlot() == onDeviceUnplug_) d->SetUnplugHandlerSlot(next);
  onDeviceUnplug_ = std::move(next);
}

void THidDeviceController::SetOnRemoval(THidPlugEvent handler) {
  onRemoval_ = handler ? std::make_shared<const THidPlugEvent>(std::move(handler)) : nullptr;
}

void THidDeviceController::SetOnChangeFailure(THidChangeFailureEvent handler) {
  onChangeFailure_ = std::move(handler);
}

}  // namespace zarvex::hid
