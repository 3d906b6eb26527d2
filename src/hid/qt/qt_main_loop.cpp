#include "hid/qt/qt_main_loop.h"

#include <QMetaObject>

namespace zarvex::hid {

TQtMainLoop::TQtMainLoop() : context_(std::make_unique<QObject>()) {}

TQtMainLoop::~TQtMainLoop() = default;

void TQtMainLoop::Post(std::function<void()> task) {
  // Tasks posted after the context is gone are dropped with it by Qt.
  QMetaObject::invokeMethod(context_.get(), [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

void TQtMainLoop::WatchReadable(int fd, std::function<void()> onReadable) {
  auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, context_.get(),
                   [fn = std::move(onReadable)] { fn(); });
  notifiers_[fd] = std::move(notifier);
}

void TQtMainLoop::Unwatch(int fd) {
  auto it = notifiers_.find(fd);
  if (it == notifiers_.end()) return;
  it->second->setEnabled(false);
  // Deleted later: Unwatch may be called from inside the notifier's own signal.
  it->second.release()->deleteLater();
  notifiers_.erase(it);
}

}  // namespace zarvex::hid
