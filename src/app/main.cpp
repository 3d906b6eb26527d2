#include <QApplication>

#include "hid/linux/linux_hid_platform.h"
#include "hid/qt/qt_main_loop.h"
#include "link/panel_connection.h"
#include "ui/device_link_wiring.h"
#include "ui/tform1.h"
#include "ui/tmain_window.h"
#include "ui/window_application.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  zarvex::SetUpWindowApplication(QStringLiteral("Zarvex Settings"));

  // The platform and the loop outlive the connection; the window outlives
  // both, since the link draws on it until it is gone.
  zarvex::TForm1 form;
  zarvex::hid::LinuxHidPlatform platform;
  zarvex::hid::TQtMainLoop loop;
  zarvex::link::TPanelConnection connection(form.Cfg(), form, platform, loop);
  zarvex::ConnectDeviceLink(form, connection);

  form.FormCreate();
  // The menu bar's window around the form; the form stays the client area.
  zarvex::TMainWindow window(form);
  window.show();
  return QApplication::exec();
}
