#include "hid/hid_hand_off.h"

#include <chrono>

#include "hid/hid_main_loop.h"

namespace zarvex::hid {

bool THidHandOff::Submit(std::function<void()> call) {
  {
    std::lock_guard lock(mutex_);
    pending_ = std::move(call);
    hasPending_ = true;
    completed_ = false;
    failed_ = false;
  }
  wake_.notify_all();  // a StopReading may be waiting
  loop_.Post([self = shared_from_this()] { self->RunPending(); });
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return completed_; });
  return !failed_;
}

void THidHandOff::MarkFinished() {
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  wake_.notify_all();
}

void THidHandOff::RunPending() {
  std::function<void()> call;
  {
    std::lock_guard lock(mutex_);
    if (!hasPending_ || running_) return;
    call = std::move(pending_);
    pending_ = nullptr;
    hasPending_ = false;
    running_ = true;
  }
  bool failed = false;
  try {
    call();
  } catch (...) {
    failed = true;  // carried back to the reading thread, which ends quietly
  }
  call = nullptr;
  std::function<void()> after;
  {
    std::lock_guard lock(mutex_);
    running_ = false;
    completed_ = true;
    failed_ = failed;
    after = std::move(afterRunning_);
    afterRunning_ = nullptr;
  }
  wake_.notify_all();
  if (after) after();
}

void THidHandOff::ServeUntilFinished() {
  // Keep a reference: a served call may drop the thread that owns this channel.
  auto self = shared_from_this();
  for (;;) {
    bool runNow = false;
    {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(1000), [this] { return hasPending_ || finished_; });
      if (hasPending_)
        runNow = true;
      else if (finished_)
        return;
    }
    if (runNow) RunPending();
  }
}

bool THidHandOff::Running() const {
  std::lock_guard lock(mutex_);
  return running_;
}

void THidHandOff::AfterRunning(std::function<void()> fn) {
  {
    std::lock_guard lock(mutex_);
    if (running_) {
      afterRunning_ = std::move(fn);
      return;
    }
  }
  fn();
}

}  // namespace zarvex::hid
