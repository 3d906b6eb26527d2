#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zarvex::hid {

class THidMainLoop;

// One HID interface present on the system.
struct THidInterface {
  std::string devicePath;  // what Open takes, e.g. "/dev/hidraw3"
  // Identity compared by scans. It differs for every plug of a device, so a
  // device unplugged and plugged back between two scans is seen as new.
  std::string instance;
};

struct THidAttributes {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t versionNumber = 0;
};

// Report lengths in bytes including the report ID byte (0 when the device
// has no report of that kind), as the Windows capabilities count them.
struct THidCaps {
  uint16_t inputReportByteLength = 0;
  uint16_t outputReportByteLength = 0;
  uint16_t featureReportByteLength = 0;
};

enum class THidAccess { ReadWrite, QueryOnly };

// What a platform's error code means to the program. Codes are the
// platform's own (errno on Linux, Win32 on Windows); only it can tell them.
enum class THidErrorKind {
  None,
  Gone,      // the device left
  Denied,    // the system refuses access (permissions, a device it keeps)
  Busy,      // another holder has the device
  TimedOut,  // a write that never completed
  Other,
};

// While it lives, no other holder, in this program or another, can claim
// the same device. Destruction releases it; so does the end of the process.
class THidClaim {
 public:
  virtual ~THidClaim() = default;
};

enum class THidReadStatus {
  Data,       // bytes were read
  TimedOut,   // nothing arrived within the wait
  Cancelled,  // CancelRead ended the wait; no report was taken
  Failed,     // the device is gone or the read failed; see error
};

struct THidReadResult {
  THidReadStatus status = THidReadStatus::Failed;
  std::size_t bytes = 0;
  uint32_t error = 0;  // the platform's code when Failed; see ClassifyError
};

// An open device. Every report buffer starts with the report ID byte (0 for
// devices without numbered reports), on reads and on writes.
// Destruction closes it. A handle is used by one thread at a time (the main
// thread, or the reading thread for its read handle); CancelRead may be
// called from any thread while Read runs.
class THidHandle {
 public:
  virtual ~THidHandle() = default;
  virtual bool Attributes(THidAttributes& out) = 0;
  virtual bool ProductString(std::string& out) = 0;  // UTF-8
  virtual bool Caps(THidCaps& out) = 0;
  // Fails on a query-only handle.
  virtual bool Write(const uint8_t* data, std::size_t length, std::size_t& written) = 0;
  // Waits at most timeoutMs for one input report. Fails on a query-only handle.
  virtual THidReadResult Read(uint8_t* buffer, std::size_t length, int timeoutMs) = 0;
  // Ends the Read in progress, or else the next one, with Cancelled.
  virtual void CancelRead() = 0;
  // Cancels and awaits a read that Read left pending on the system (an
  // overlapped read outlives its call); the reading thread calls it before
  // it ends, so no read survives the thread that started it.
  virtual void EndPendingRead() {}
  virtual uint32_t LastError() const = 0;
};

// What the controller needs of the system's HID layer, and nothing more.
class THidPlatform {
 public:
  virtual ~THidPlatform() = default;
  virtual std::vector<THidInterface> PresentInterfaces() = 0;
  // Null on failure, with error set to the platform's code. Callable from a
  // reading thread too (it opens its own read handle).
  virtual std::unique_ptr<THidHandle> Open(const std::string& devicePath, THidAccess access,
                                           uint32_t& error) = 0;
  // From now on onChange runs on the main thread after every change of the
  // device list (several changes may end in one call). One watcher at a time.
  virtual void WatchChanges(THidMainLoop& loop, std::function<void()> onChange) = 0;
  virtual void UnwatchChanges() = 0;
  // The device for this holder alone while the claim lives: two programs on
  // one panel would interleave their requests. Null with error set (kind
  // Busy) when another holder has it.
  virtual std::unique_ptr<THidClaim> Claim(const std::string& devicePath, uint32_t& error) = 0;
  virtual THidErrorKind ClassifyError(uint32_t error) const = 0;
  // The platform's own code for a failure the shared layer finds itself (a
  // device no longer plugged, a read that cannot start).
  virtual uint32_t ErrorCode(THidErrorKind kind) const = 0;
};

}  // namespace zarvex::hid
