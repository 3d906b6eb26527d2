// A person's check of the simulator window: saves it as PNGs, one per page
// of what the panel holds with a first-model panel plugged and a key stored,
// then one with a second-model panel waiting for a pairing.

#include <QApplication>
#include <QTabWidget>

#include "demo/simulator_window.h"
#include "hid/virtual_hid_platform.h"
#include "sim/virtual_panel.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString directory = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  zarvex::hid::VirtualHidPlatform platform;
  zarvex::sim::VirtualPanel panel(platform);
  panel.Plug(zarvex::sim::PanelKind::First);
  panel.WithModel([](zarvex::sim::PanelModel& m) {
    m.Configuration().SetText(50, "\xC4\xE2\xE5\xF0\xFC");  // "Дверь"
    m.Keys().Put(1, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF});
  });
  zarvex::demo::SimulatorWindow window(panel);
  window.show();
  auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("TabsPanelMemory"));
  for (int page = 0; page < tabs->count(); ++page) {
    tabs->setCurrentIndex(page);
    app.processEvents();
    window.grab().save(QStringLiteral("%1/sim-window-%2.png").arg(directory).arg(page + 1));
  }
  // A second-model panel with paired devices and a pairing waiting.
  panel.Plug(zarvex::sim::PanelKind::Second);
  panel.WithModel([](zarvex::sim::PanelModel& m) {
    m.Wireless().Pair(1);
    m.Wireless().Pair(4);
    m.Wireless().Pair(41);
    m.Wireless().StartPairing(3);
  });
  window.Refresh();
  app.processEvents();
  window.grab().save(QStringLiteral("%1/sim-window-%2.png").arg(directory).arg(tabs->count() + 1));
  return 0;
}
