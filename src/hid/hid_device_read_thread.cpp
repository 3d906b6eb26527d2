#include "hid/hid_device_read_thread.h"

#include <algorithm>
#include <memory>

#include "hid/hid_device.h"
#include "hid/hid_hand_off.h"

namespace zarvex::hid {

THidDeviceReadThread::THidDeviceReadThread(THidDevice& device, THidMainLoop& loop,
                                           uint16_t inputReportByteLength)
    : device_(device), handOff_(std::make_shared<THidHandOff>(loop)), buffer_(inputReportByteLength) {}

THidDeviceReadThread::~THidDeviceReadThread() {
  if (thread_.joinable()) {
    // Only reached when Stop was skipped; never leave a thread running on a dead object.
    stop_ = true;
    handOff_->ServeUntilFinished();
    thread_.join();
  }
}

void THidDeviceReadThread::Start() { thread_ = std::thread([this] { Body(); }); }

void THidDeviceReadThread::Stop(std::unique_ptr<THidDeviceReadThread> self) {
  if (!self) return;
  self->stop_ = true;
  self->device_.CancelRead();
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

void THidDeviceReadThread::Body() {
  // After every hand-off the stop flag is checked before the device is
  // touched again: the handler may have checked the device in.
  while (!stop_) {
    std::fill(buffer_.begin(), buffer_.end(), 0);
    uint32_t error = 0;
    std::shared_ptr<THidHandle> handle = device_.BeginRead(error);
    if (handle) {
      THidReadResult r;
      do {
        r = handle->Read(buffer_.data(), buffer_.size(), device_.ReadSleepTime());
      } while (r.status == THidReadStatus::TimedOut && !stop_);
      if (stop_) break;
      if (r.status == THidReadStatus::Data) {
        bytesRead_ = static_cast<int>(r.bytes);
        if (bytesRead_ > 0) {
          const bool ok = handOff_->Submit([this] {
            auto handler = device_.DataHandlerSlot();
            if (handler)
              (*handler)(device_, buffer_[0], buffer_.data() + 1, static_cast<uint16_t>(bytesRead_ - 1));
          });
          if (!ok) break;
        }
        continue;
      }
      if (r.status == THidReadStatus::Cancelled) continue;  // handle closed under us; next pass decides
      // The read failed (device gone): the handle is of no further use, and
      // the failure is reported like a read that could not be started.
      device_.DropReadHandle(handle);
      error = r.error;
    }
    errorCode_ = error;
    const bool ok = handOff_->Submit([this] {
      auto handler = device_.DataErrorHandlerSlot();
      if (handler) (*handler)(device_, errorCode_);
    });
    if (!ok) break;
  }
  handOff_->MarkFinished();
}

}  // namespace zarvex::hid
