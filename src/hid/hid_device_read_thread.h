#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace zarvex::hid {

class THidDevice;
class THidHandOff;
class THidMainLoop;

// Waits for the input reports of one checked-out device and hands each one,
// and each failed read start, to the main thread, blocking until the handler
// has run. Owned by its device; created and ended only on the main thread
// (THidDevice::StartReading / StopReading).
class THidDeviceReadThread {
 public:
  THidDeviceReadThread(THidDevice& device, THidMainLoop& loop, uint16_t inputReportByteLength);
  ~THidDeviceReadThread();  // requires Stop() first
  THidDeviceReadThread(const THidDeviceReadThread&) = delete;
  THidDeviceReadThread& operator=(const THidDeviceReadThread&) = delete;

  void Start();
  // Main thread: asks the thread to stop and waits for it, serving its
  // hand-offs meanwhile. Called from inside this thread's own handler it
  // cannot wait; the thread is then joined right after that handler returns,
  // and *self (which must own this object) is released there.
  static void Stop(std::unique_ptr<THidDeviceReadThread> self);

 private:
  void Body();

  THidDevice& device_;
  std::shared_ptr<THidHandOff> handOff_;
  uint32_t errorCode_ = 0;
  int bytesRead_ = 0;
  std::vector<uint8_t> buffer_;  // sized once, reused by every pass
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace zarvex::hid
