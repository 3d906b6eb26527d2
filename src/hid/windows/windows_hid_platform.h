#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hid/hid_platform.h"
#include "hid/plug_counter.h"

namespace zarvex::hid {

// HID interfaces through SetupApi and HID.dll. DevicePath is the interface's
// path as SetupApi gives it (UTF-8 here, UTF-16 at the system calls). The
// instance is that path with a plug count (TPlugCounter), so a panel pulled
// and plugged back between two scans is a new device, as the controller
// expects. A device that Windows keeps for
// itself (keyboards, mice) opens query-only, with access 0.
//
// Changes arrive as WM_DEVICECHANGE for the HID interface class on a
// message-only window of a thread of our own; that works on Windows 10/11
// and under Wine alike, and needs no message pump from the program.
class WindowsHidPlatform final : public THidPlatform {
 public:
  WindowsHidPlatform();
  ~WindowsHidPlatform() override;
  WindowsHidPlatform(const WindowsHidPlatform&) = delete;
  WindowsHidPlatform& operator=(const WindowsHidPlatform&) = delete;

  std::vector<THidInterface> PresentInterfaces() override;
  std::unique_ptr<THidHandle> Open(const std::string& devicePath, THidAccess access,
                                   uint32_t& error) override;
  void WatchChanges(THidMainLoop& loop, std::function<void()> onChange) override;
  void UnwatchChanges() override;
  // A named mutex derived from the lower-cased path, seen by every program.
  std::unique_ptr<THidClaim> Claim(const std::string& devicePath, uint32_t& error) override;
  THidErrorKind ClassifyError(uint32_t error) const override;
  uint32_t ErrorCode(THidErrorKind kind) const override;

  // What a WM_DEVICECHANGE tells: an interface came or went (its path, UTF-8).
  // Called on the watching thread; public so tests can feed it. A scan runs
  // at once and one more a second after the last message: Wine's lists can
  // lag its notifications, and a scan that raced them would leave a gone
  // panel held until the next plug.
  void DeviceChanged(bool arrived, const std::string& devicePath);
  // Posts one scan to the main loop; many before it runs end in one.
  void PostScan();

 private:
  void Watch();

  std::mutex mutex_;  // guards plugs_: messages come on the watching thread
  TPlugCounter plugs_;

  // Shared with the tasks posted to the main loop, which may run after the
  // watch has ended.
  struct Watcher {
    std::function<void()> onChange;
    std::atomic<bool> posted{false};
  };
  THidMainLoop* loop_ = nullptr;
  std::shared_ptr<Watcher> watch_;
  std::thread watcher_;
  std::atomic<void*> window_{nullptr};
};

// The name of the mutex that claims the device at this path.
std::string ClaimMutexName(const std::string& devicePath);

}  // namespace zarvex::hid
