// The real window on the real kernel: zarvex-settings' own parts (the window,
// the hidraw/udev platform, Qt's loop) against the panel behind the USB HID
// gadget, served in this process so the panel's own memory can be checked.
// Run under Xvfb inside the kernel bench's guest:
//   kernel_window_session <results directory>
// Saves a screenshot of each step there; exit 0 only when every step held.
#include <QApplication>
#include <QDir>
#include <cstdio>

#include "hid/linux/linux_hid_platform.h"
#include "sim/gadget_panel.h"
#include "ui/window_application.h"
#include "window_session_steps.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <results directory>\n", argv[0]);
    return 2;
  }
  zarvex::SetUpWindowApplication(QStringLiteral("Zarvex Settings"));
  zarvex::sim::GadgetPanel gadget("/dev/hidg0");
  gadget.Plug(zarvex::sim::PanelKind::First, 430);
  gadget.WithModel([](zarvex::sim::PanelModel& m) {
    for (int k = 1; k <= 5; ++k) m.Keys().Put(k * 3, {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x60, static_cast<uint8_t>(k)});
  });

  zarvex::kernel_bench::WindowSessionPlan plan;
  plan.results = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  plan.version = QStringLiteral("430");
  plan.panelHoldsWrite = [&gadget] {
    int32_t armDelay = 0;
    std::string apn;
    gadget.WithModel([&](zarvex::sim::PanelModel& m) {
      armDelay = m.Configuration().Number(18);
      apn = m.Configuration().Text(10);
    });
    return armDelay == 451 && apn == "kernel.apn";
  };
  zarvex::hid::LinuxHidPlatform platform;
  return zarvex::kernel_bench::RunWindowSession(platform, plan) == 0 ? 0 : 1;
}
