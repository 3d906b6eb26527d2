#include "demo/session_wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

namespace zarvex::demo {

namespace {
// Short against the window's 10 ms timer, so a result is seen within a tick.
constexpr int kSliceMilliseconds = 5;
}  // namespace

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    // Sleeps in the event loop, not beside it: reports, the window's timer
    // and queued calls run while we wait.
    QEventLoop slice;
    QTimer::singleShot(kSliceMilliseconds, &slice, &QEventLoop::quit);
    slice.exec();
    // Widgets closed along the way are deleted here, as the main loop would.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  return true;
}

}  // namespace zarvex::demo
