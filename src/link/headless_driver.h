#pragma once

#include <cstdint>
#include <functional>

#include "hid/hid_simple_loop.h"
#include "link/panel_connection.h"

namespace zarvex::link {

// Drives a connection without a window: serves the main loop and gives the
// link its 10 ms timer ticks. Real time paces exactly as the window does.
// Fast time is for soaks: the link's clock moves 10 ms per tick, and a tick
// comes as soon as the answer awaited has been handled (or after a short
// real wait when none comes), so silence still times out on the link's clock.
class THeadlessDriver {
 public:
  enum class Pace { RealTime, Fast };
  static constexpr int64_t kTickMs = 10;

  // Runs the link's start-up as a window's creation handler would.
  THeadlessDriver(TPanelConnection& connection, hid::THidSimpleLoop& loop, Pace pace);

  // The link's clock, in milliseconds.
  int64_t Now() const;
  // Runs until done() holds (checked after every handled event) or the link's
  // clock has moved on by timeoutMs; returns done().
  bool RunUntil(const std::function<bool()>& done, int64_t timeoutMs);

 private:
  void Tick();

  TPanelConnection& connection_;
  hid::THidSimpleLoop& loop_;
  Pace pace_;
  int64_t fastNow_ = 0;
};

}  // namespace zarvex::link
