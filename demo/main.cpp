// zarvex-settings-demo: the configurator's window over the in-process
// virtual HID layer, with a simulated panel and its control window, so the
// program can be tried without a panel.

#include <QApplication>

#include "demo/simulator_window.h"
#include "hid/qt/qt_main_loop.h"
#include "hid/virtual_hid_platform.h"
#include "link/panel_connection.h"
#include "sim/virtual_panel.h"
#include "ui/device_link_wiring.h"
#include "ui/qt_translations.h"
#include "ui/tform1.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Zarvex Settings demo"));
  QApplication::setApplicationVersion(QStringLiteral("3.0.8"));
  zarvex::InstallQtTranslations();
  QApplication::setFont(zarvex::TForm1::WindowFont());

  // Declared so that each outlives what uses it: the panel unplugs itself
  // from the platform, the connection checks the panel's device in.
  zarvex::TForm1 form;
  zarvex::hid::VirtualHidPlatform platform;
  zarvex::hid::TQtMainLoop loop;
  zarvex::sim::VirtualPanel panel(platform);
  zarvex::link::TPanelConnection connection(form.Cfg(), form, platform, loop);
  zarvex::ConnectDeviceLink(form, connection);
  zarvex::demo::SimulatorWindow simulator(panel);

  form.FormCreate();
  form.show();
  // Beside the configurator where the screen allows, else over its corner.
  simulator.move(form.frameGeometry().right() + 8, form.y());
  // Closing the configurator ends the demo; the simulator may close alone.
  simulator.setAttribute(Qt::WA_QuitOnClose, false);
  simulator.show();
  return QApplication::exec();
}
