#include "hid/hid_device_read_thread.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "hid/hid_device.h"
#include "hid/hid_hand_off.h"

namespace zarvex::hid {

namespace {
std::atomic<void (*)()> pauseBeforeWait{nullptr};
}

void THidDeviceReadThread::SetPauseBeforeWait(void (*pause)()) { pauseBeforeWait = pause; }

template <class Ready>
void THidDeviceReadThread::WaitOnQueue(std::unique_lock<std::mutex>& lock, Ready ready) {
  queueChanged_.wait(lock, [&] {
    if (ready()) return true;
    if (auto pause = pauseBeforeWait.load()) pause();
    return false;
  });
}

void THidDeviceReadThread::RequestStop() {
  {
    std::lock_guard lock(queueMutex_);
    stop_ = true;
  }
  queueChanged_.notify_all();
}

THidDeviceReadThread::THidDeviceReadThread(THidDevice& device, THidMainLoop& loop,
                                           uint16_t inputReportByteLength)
    : device_(device),
      handOff_(std::make_shared<THidHandOff>(loop)),
      buffer_(inputReportByteLength),
      readBuffer_(inputReportByteLength) {}

THidDeviceReadThread::~THidDeviceReadThread() {
  if (drain_.joinable()) {
    RequestStop();
    drain_.join();
  }
  if (thread_.joinable()) {
    // Only reached when Stop was skipped; never leave a thread running on a dead object.
    RequestStop();
    handOff_->ServeUntilFinished();
    thread_.join();
  }
}

void THidDeviceReadThread::Start() {
  drain_ = std::thread([this] { Drain(); });
  thread_ = std::thread([this] { Body(); });
}

void THidDeviceReadThread::Stop(std::unique_ptr<THidDeviceReadThread> self) {
  if (!self) return;
  self->RequestStop();
  self->device_.CancelRead();
  // Drain never waits for the main thread, so it can be joined from here,
  // even from inside a handler, and must be before the device may go.
  if (self->drain_.joinable()) self->drain_.join();
  auto handOff = self->handOff_;
  if (handOff->Running()) {
    // Inside this thread's own handler: the thread waits for us, so we
    // cannot wait for it. It ends as soon as the handler returns.
    auto* raw = self.release();
    handOff->AfterRunning([raw] {
      raw->thread_.join();
      delete raw;
    });
    return;
  }
  handOff->ServeUntilFinished();
  self->thread_.join();
}

void THidDeviceReadThread::Put(Taken taken) {
  {
    std::unique_lock lock(queueMutex_);
    // A main thread this far behind is not coming back soon; wait for it
    // rather than hold without limit.
    WaitOnQueue(lock, [this] { return stop_ || queue_.size() < kQueueLimit; });
    queue_.push_back(std::move(taken));
  }
  queueChanged_.notify_all();
}

void THidDeviceReadThread::WaitUntilDelivered() {
  std::unique_lock lock(queueMutex_);
  WaitOnQueue(lock, [this] { return stop_ || queue_.empty(); });
}

void THidDeviceReadThread::Drain() {
  std::shared_ptr<THidHandle> lastRead;  // its pending read ends with us
  while (!stop_) {
    uint32_t error = 0;
    std::shared_ptr<THidHandle> handle = device_.BeginRead(error);
    if (handle) {
      if (lastRead != handle) {
        if (lastRead) lastRead->EndPendingRead();
        lastRead = handle;
      }
      std::fill(readBuffer_.begin(), readBuffer_.end(), 0);
      const THidReadResult r = handle->Read(readBuffer_.data(), readBuffer_.size(), device_.ReadSleepTime());
      if (r.status == THidReadStatus::Data) {
        if (r.bytes > 0) {
          Put({std::vector<uint8_t>(readBuffer_.begin(), readBuffer_.begin() + static_cast<long>(r.bytes)), 0});
        }
        continue;
      }
      // Timed out: read on. Cancelled: the handle was closed under us, or a
      // stop; the next pass decides.
      if (r.status != THidReadStatus::Failed) continue;
      // The read failed (device gone): the handle is of no further use, and
      // the failure is reported like a read that could not be started.
      device_.DropReadHandle(handle);
      lastRead.reset();
      error = r.error;
    }
    Put({{}, error ? error : device_.platform_.ErrorCode(THidErrorKind::Other)});
    // Reported once it has been dealt with; a device that stays unreadable
    // (removal not processed yet) is not reopened in a tight loop.
    WaitUntilDelivered();
    std::unique_lock lock(queueMutex_);
    queueChanged_.wait_for(lock, std::chrono::milliseconds(10), [this] { return stop_.load(); });
  }
  if (lastRead) lastRead->EndPendingRead();
}

void THidDeviceReadThread::Body() {
  // After every hand-off the stop flag is checked before the device is
  // touched again: the handler may have checked the device in.
  while (!stop_) {
    Taken taken;
    {
      std::unique_lock lock(queueMutex_);
      WaitOnQueue(lock, [this] { return stop_ || !queue_.empty(); });
      if (stop_) break;
      taken = std::move(queue_.front());
      queue_.pop_front();
    }
    bool ok = true;
    if (!taken.bytes.empty()) {
      std::fill(buffer_.begin(), buffer_.end(), 0);
      std::copy(taken.bytes.begin(), taken.bytes.end(), buffer_.begin());
      bytesRead_ = static_cast<int>(taken.bytes.size());
      ok = handOff_->Submit([this] {
        auto handler = device_.DataHandlerSlot();
        if (handler)
          (*handler)(device_, buffer_[0], buffer_.data() + 1, static_cast<uint16_t>(bytesRead_ - 1));
      });
    } else {
      errorCode_ = taken.error;
      ok = handOff_->Submit([this] {
        auto handler = device_.DataErrorHandlerSlot();
        if (handler) (*handler)(device_, errorCode_);
      });
    }
    queueChanged_.notify_all();  // Drain may wait for the queue to empty
    if (!ok) break;
  }
  // A handler that threw ends the reading; the device is not touched again
  // here, as a handler may have checked it in.
  RequestStop();
  handOff_->MarkFinished();
}

}  // namespace zarvex::hid
