#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
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
//
// The kernel keeps only a few dozen reports per open file and drops new ones
// when they are not read, so a second thread keeps draining the device into
// a queue of our own while a hand-off waits for a busy main thread; the
// reports still reach the handler one at a time, in order.
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

  // Tests only: runs just before a thread sleeps on its queue, under the
  // queue's lock, to widen the window in which a wake-up could be lost.
  static void SetPauseBeforeWait(void (*pause)());

 private:
  // A report read, or a read that could not start (bytes empty, error set).
  struct Taken {
    std::vector<uint8_t> bytes;
    uint32_t error = 0;
  };
  static constexpr size_t kQueueLimit = 16384;

  void Body();   // hands over what Drain took
  void Drain();  // reads the device into the queue
  void Put(Taken taken);
  // Drain: until what it queued has been handed over (or a stop).
  void WaitUntilDelivered();
  // Sets the stop flag under the queue's lock, so no waiter misses it.
  void RequestStop();
  template <class Ready>
  void WaitOnQueue(std::unique_lock<std::mutex>& lock, Ready ready);

  THidDevice& device_;
  std::shared_ptr<THidHandOff> handOff_;
  uint32_t errorCode_ = 0;
  int bytesRead_ = 0;
  std::vector<uint8_t> buffer_;  // the report being handed over; sized once
  std::vector<uint8_t> readBuffer_;  // Drain's, sized once
  std::atomic<bool> stop_{false};
  std::mutex queueMutex_;
  std::condition_variable queueChanged_;
  std::deque<Taken> queue_;
  std::thread drain_;
  std::thread thread_;
};

}  // namespace zarvex::hid
