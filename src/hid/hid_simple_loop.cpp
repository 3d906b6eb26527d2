#include "hid/hid_simple_loop.h"

#include <vector>

#include "hid/readable_descriptors.h"

namespace zarvex::hid {

void THidSimpleLoop::Post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  posted_.notify_all();
}

void THidSimpleLoop::WatchReadable(int fd, std::function<void()> onReadable) {
  watched_[fd] = std::move(onReadable);
}

void THidSimpleLoop::Unwatch(int fd) { watched_.erase(fd); }

bool THidSimpleLoop::RunOne() {
  std::function<void()> task;
  {
    std::lock_guard lock(mutex_);
    if (tasks_.empty()) return false;
    task = std::move(tasks_.front());
    tasks_.pop_front();
  }
  task();
  return true;
}

int THidSimpleLoop::PollDescriptors(int timeoutMs) {
  if (watched_.empty()) return 0;
  std::vector<int> fds;
  for (const auto& [fd, fn] : watched_) fds.push_back(fd);
  int ran = 0;
  for (const int fd : ReadableDescriptors(fds, timeoutMs)) {
    auto it = watched_.find(fd);
    if (it == watched_.end()) continue;  // unwatched by an earlier handler
    auto fn = it->second;                // the handler may unwatch itself
    fn();
    ++ran;
  }
  return ran;
}

int THidSimpleLoop::ProcessPending() {
  int ran = PollDescriptors(0);
  while (RunOne()) ++ran;
  return ran;
}

void THidSimpleLoop::WaitForWork(std::chrono::milliseconds slice) {
  if (!watched_.empty()) {
    // Descriptors and posted tasks cannot be waited for together here; short
    // poll slices keep posted work prompt enough for tests and tools.
    {
      std::lock_guard lock(mutex_);
      if (!tasks_.empty()) return;
    }
    PollDescriptors(static_cast<int>(std::min<std::chrono::milliseconds>(slice, std::chrono::milliseconds(1)).count()));
    return;
  }
  std::unique_lock lock(mutex_);
  posted_.wait_for(lock, slice, [this] { return !tasks_.empty(); });
}

bool THidSimpleLoop::RunUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    ProcessPending();
    if (predicate()) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    WaitForWork(std::min<std::chrono::milliseconds>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) + std::chrono::milliseconds(1),
        std::chrono::milliseconds(50)));
  }
}

}  // namespace zarvex::hid
