#include "link/headless_driver.h"

#include <algorithm>
#include <chrono>

namespace zarvex::link {

namespace {
int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
// How long a fast tick waits in real time for an answer that may not come.
constexpr std::chrono::milliseconds kFastAnswerWait{2};
constexpr std::chrono::milliseconds kFastIdleWait{1};
}  // namespace

THeadlessDriver::THeadlessDriver(TPanelConnection& connection, hid::THidSimpleLoop& loop,
                                 Pace pace)
    : connection_(connection), loop_(loop), pace_(pace) {
  // What a window's creation handler does first.
  connection_.Link().StartupInit();
  connection_.Link().ResetKeyGrid();
  if (pace_ == Pace::Fast) connection_.Link().SetClock([this] { return fastNow_; });
}

int64_t THeadlessDriver::Now() const { return pace_ == Pace::Fast ? fastNow_ : SteadyMs(); }

void THeadlessDriver::Tick() {
  if (pace_ == Pace::Fast) fastNow_ += kTickMs;
  connection_.Link().TimerTimer();
}

bool THeadlessDriver::RunUntil(const std::function<bool()>& done, int64_t timeoutMs) {
  const int64_t end = Now() + timeoutMs;
  int64_t nextTick = Now() + kTickMs;
  for (;;) {
    loop_.ProcessPending();
    if (done()) return true;
    if (Now() >= end) return false;
    if (pace_ == Pace::RealTime) {
      const auto wait = std::chrono::milliseconds(std::max<int64_t>(0, nextTick - Now()));
      if (loop_.RunUntil(done, wait)) return true;
      if (Now() >= nextTick) {
        Tick();
        // Late ticks are not caught up: requests stay 10 ms apart at least.
        nextTick = std::max(nextTick + kTickMs, Now() + 1);
      }
    } else {
      const protocol::DeviceLink& link = connection_.Link();
      if (link.Status().Watching()) {
        loop_.RunUntil([&] { return done() || !link.Status().Watching(); }, kFastAnswerWait);
      } else if (!link.State().RequestPending()) {
        // Idle: give what comes unasked (a key presented, a device paired,
        // a plug) a moment of real time before the clock moves on.
        loop_.RunUntil(done, kFastIdleWait);
      }
      Tick();
    }
  }
}

}  // namespace zarvex::link
