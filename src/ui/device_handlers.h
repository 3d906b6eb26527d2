#pragma once

#include <functional>

namespace zarvex {

// What the window hands to the device link: its start-up step and the
// handlers of the device buttons and the timer. An empty entry does nothing.
struct DeviceHandlers {
  std::function<void()> StartUp;  // first step of FormCreate
  std::function<void()> ButtonReadClick;
  std::function<void()> ButtonWriteClick;
  std::function<void()> ButtonWriteKeysClick;
  std::function<void()> ButtonDelKeysClick;
  std::function<void()> ButtonDelAllKeysClick;
  std::function<void()> ButtonReadKeysClick;
  std::function<void()> ButtonWriteTrinketClick;
  std::function<void()> ButtonDelTrinketClick;
  std::function<void()> ButtonDelAllTrinketClick;
  std::function<void()> ButtonWriteSensorClick;
  std::function<void()> ButtonDelSensorClick;
  std::function<void()> ButtonDelAllSensorClick;
  std::function<void()> ButtonReadWireLessClick;
  std::function<void()> TimerTimer;
};

}  // namespace zarvex
