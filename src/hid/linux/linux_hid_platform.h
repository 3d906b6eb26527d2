#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

struct udev;
struct udev_monitor;

namespace zarvex::hid {

// hidraw nodes found through libudev. DevicePath is "/dev/hidrawN"; the
// instance is the HID parent's name, BUS:VID:PID.NNNN, whose sequence
// number the kernel never reuses. A node that cannot be opened read-write
// still opens query-only: its identity, strings and report lengths come
// from sysfs.
class LinuxHidPlatform final : public THidPlatform {
 public:
  LinuxHidPlatform();
  ~LinuxHidPlatform() override;
  LinuxHidPlatform(const LinuxHidPlatform&) = delete;
  LinuxHidPlatform& operator=(const LinuxHidPlatform&) = delete;

  std::vector<THidInterface> PresentInterfaces() override;
  std::unique_ptr<THidHandle> Open(const std::string& devicePath, THidAccess access,
                                   uint32_t& error) override;
  // A udev monitor on subsystem hidraw (events from the udev daemon, or
  // straight from the kernel where none runs), watched on the main loop.
  void WatchChanges(THidMainLoop& loop, std::function<void()> onChange) override;
  void UnwatchChanges() override;
  // An exclusive flock on the hidraw node, seen by every program.
  std::unique_ptr<THidClaim> Claim(const std::string& devicePath, uint32_t& error) override;
  THidErrorKind ClassifyError(uint32_t error) const override;
  uint32_t ErrorCode(THidErrorKind kind) const override;

 private:
  void Drain();

  struct udev* udev_ = nullptr;  // main thread only
  struct udev_monitor* monitor_ = nullptr;
  int monitorFd_ = -1;
  THidMainLoop* loop_ = nullptr;
  std::function<void()> onChange_;
};

}  // namespace zarvex::hid
