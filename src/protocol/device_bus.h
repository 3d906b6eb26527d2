#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zarvex::protocol {

// A HID device as the controller offers it to the link (enumeration,
// removal, input report). Identity() is the same for the offered and the
// held view of one device object.
class OfferedDevice {
 public:
  virtual ~OfferedDevice() = default;
  virtual std::string ProductString() = 0;  // UTF-8
  virtual const void* Identity() const = 0;
};

// A checked-out device. Destroying it checks it in.
class PanelPort {
 public:
  virtual ~PanelPort() = default;
  virtual const void* Identity() const = 0;
  virtual int OutputReportByteLength() = 0;  // asked at every send
  virtual bool WriteReport(const uint8_t* data, int length) = 0;
  virtual bool ReadWriteAccess() const = 0;
  // Without access because another program holds the panel.
  virtual bool HeldByAnotherProgram() const = 0;
  virtual std::string DevicePath() const = 0;
};

// The controller as the link uses it.
class DeviceBus {
 public:
  virtual ~DeviceBus() = default;
  virtual int EnumerateDevices() = 0;
  // Null when the index is outside the list or the device is already lent.
  virtual std::unique_ptr<PanelPort> CheckOutAt(int index) = 0;
};

}  // namespace zarvex::protocol
