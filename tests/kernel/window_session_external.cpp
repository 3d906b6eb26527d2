// The window's whole session against a panel that another process serves,
// over the system's own HID layer: on the kernel bench, the Windows program
// under Wine talks through Wine's HID stack to the gadget panel that
// zarvex-panel-gadget answers. What was written is checked by reading back.
//   kernel_window_session_external <results directory> <firmware version> <keys> [seconds to appear]
// Before it closes it prints "UNPLUG NOW", then "PLUG AGAIN", for the script
// that runs it to unplug and plug the panel.
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>

#include "hid/system_hid_platform.h"
#include "ui/window_application.h"
#include "window_session_steps.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s <results directory> <firmware version> <keys> [seconds]\n", argv[0]);
    return 2;
  }
  zarvex::SetUpWindowApplication(QStringLiteral("Zarvex Settings"));
  zarvex::kernel_bench::WindowSessionPlan plan;
  plan.results = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  plan.version = QString::fromLocal8Bit(argv[2]);
  plan.keyCount = std::atoi(argv[3]);
  plan.connectMs = (argc > 4 ? std::atoi(argv[4]) : 10) * 1000;
  // Wine's HID stack in an emulated guest answers far slower than hidraw.
  plan.transferMs = 120000;
  plan.replugByOthers = true;
  const auto platform = zarvex::hid::MakeSystemHidPlatform();
  return zarvex::kernel_bench::RunWindowSession(*platform, plan) == 0 ? 0 : 1;
}
