#pragma once
// The window's whole session against a real panel, as an installer would run
// it: connect, read, change, write, list the keys, close. Shared by the
// session whose panel is served in the same process (the gadget on Linux)
// and the one whose panel another process serves (the Windows program under
// Wine).

#include <QString>
#include <functional>

#include "hid/hid_platform.h"

namespace zarvex::kernel_bench {

struct WindowSessionPlan {
  QString results;       // screenshots go to <results>/window
  QString version;       // the panel's firmware version as the window shows it
  int keyCount = 5;      // keys the panel holds
  int connectMs = 10000;  // the panel may take long to appear (Wine)
  int transferMs = 10000;
  // Before closing, the panel is unplugged and plugged again by someone
  // else: the window prints "UNPLUG NOW", waits to see it go, prints "PLUG
  // AGAIN" and waits to see it return.
  bool replugByOthers = false;
  // After the write: whether the panel holds an arming delay of 45 s and the
  // access point "kernel.apn". Empty: read back through the window.
  std::function<bool()> panelHoldsWrite;
};

// Runs the session over `platform`; prints a line for every check and
// returns the number that failed.
int RunWindowSession(hid::THidPlatform& platform, const WindowSessionPlan& plan);

}  // namespace zarvex::kernel_bench
