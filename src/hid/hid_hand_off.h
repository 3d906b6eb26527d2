#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace zarvex::hid {

class THidMainLoop;

// The channel of one reading thread to the main thread. The reading thread
// submits a call and blocks until the main thread has run it; the main loop
// is only woken (Post) and runs whatever is pending. StopReading serves the
// channel itself while it waits for the thread, so a thread blocked here can
// always finish.
class THidHandOff : public std::enable_shared_from_this<THidHandOff> {
 public:
  explicit THidHandOff(THidMainLoop& loop) : loop_(loop) {}

  // Reading thread. Returns false when the call threw; the thread should end.
  bool Submit(std::function<void()> call);
  // Reading thread, as its last act: wakes a waiting ServeUntilFinished.
  void MarkFinished();

  // Main thread: runs the pending call, if any. Re-entry while it runs is a no-op.
  void RunPending();
  // Main thread: runs pending calls until the reading thread has finished.
  void ServeUntilFinished();
  // Main thread: whether the pending call is running right now (further up this stack).
  bool Running() const;
  // Main thread: fn runs right after the running call has returned (or at
  // once when none runs). Used to end a thread from inside its own handler.
  void AfterRunning(std::function<void()> fn);

 private:
  THidMainLoop& loop_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::function<void()> pending_;
  bool hasPending_ = false;
  bool completed_ = false;
  bool failed_ = false;
  bool running_ = false;
  bool finished_ = false;
  std::function<void()> afterRunning_;
};

}  // namespace zarvex::hid
