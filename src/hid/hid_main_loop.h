#pragma once

#include <functional>

namespace zarvex::hid {

// The main thread's event loop as this layer needs it; the application
// implements it on its toolkit (see qt/qt_main_loop.h), tests use
// THidSimpleLoop.
class THidMainLoop {
 public:
  virtual ~THidMainLoop() = default;
  virtual void Post(std::function<void()> task) = 0;  // run later on the main thread; callable from any thread
  virtual void WatchReadable(int fd, std::function<void()> onReadable) = 0;  // main thread
  virtual void Unwatch(int fd) = 0;
};

}  // namespace zarvex::hid
