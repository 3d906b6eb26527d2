#pragma once

#include <map>
#include <memory>

#include <QObject>
#include <QSocketNotifier>

#include "hid/hid_main_loop.h"

namespace zarvex::hid {

// The HID layer's main loop on Qt's event loop: posted tasks are queued
// calls into the thread that created this object (the GUI thread), watched
// descriptors are socket notifiers.
class TQtMainLoop final : public THidMainLoop {
 public:
  TQtMainLoop();
  ~TQtMainLoop() override;

  void Post(std::function<void()> task) override;
  void WatchReadable(int fd, std::function<void()> onReadable) override;
  void Unwatch(int fd) override;

 private:
  std::unique_ptr<QObject> context_;  // lives on the main thread; queued calls run there
  std::map<int, std::unique_ptr<QSocketNotifier>> notifiers_;
};

}  // namespace zarvex::hid
