#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "hid/hid_main_loop.h"

namespace zarvex::hid {

// A minimal main loop for tests, benchmarks and command-line tools: the
// thread that calls ProcessPending or RunUntil is the main thread. Readable
// descriptors are polled while it waits.
class THidSimpleLoop final : public THidMainLoop {
 public:
  void Post(std::function<void()> task) override;
  void WatchReadable(int fd, std::function<void()> onReadable) override;
  void Unwatch(int fd) override;

  // Runs the tasks posted so far (and any they post in turn) and the
  // handlers of descriptors readable now; returns how many ran.
  int ProcessPending();
  // Serves the loop until predicate() holds or timeout passes; returns predicate().
  bool RunUntil(const std::function<bool()>& predicate,
                std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

 private:
  bool RunOne();
  int PollDescriptors(int timeoutMs);
  void WaitForWork(std::chrono::milliseconds slice);

  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
  std::map<int, std::function<void()>> watched_;  // main thread only
};

}  // namespace zarvex::hid
