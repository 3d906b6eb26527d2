#include <QApplication>
#include <QSessionManager>

#include "app/running_mark.h"
#include "hid/system_hid_platform.h"
#include "hid/qt/qt_main_loop.h"
#include "link/panel_connection.h"
#include "ui/device_link_wiring.h"
#include "ui/tform1.h"
#include "ui/tmain_window.h"
#include "ui/window_application.h"
#include "ui/working_folder.h"

int main(int argc, char* argv[]) {
  zarvex::MarkProgramRunning();
  QApplication app(argc, argv);
  zarvex::SetUpWindowApplication(QStringLiteral("Zarvex Settings"));
  // Before the form loads "zarvex.cfg" from the current folder.
  zarvex::SettleWorkingFolder();

  // The platform and the loop outlive the connection; the window outlives
  // both, since the link draws on it until it is gone.
  zarvex::TForm1 form;
  const auto platform = zarvex::hid::MakeSystemHidPlatform();
  zarvex::hid::TQtMainLoop loop;
  zarvex::link::TPanelConnection connection(form.Cfg(), form, *platform, loop);
  zarvex::ConnectDeviceLink(form, connection);

  form.FormCreate();
  // The menu bar's window around the form; the form stays the client area.
  zarvex::TMainWindow window(form);
  // Logging off or shutting down saves "zarvex.cfg" as closing the window does.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                   [&form](QSessionManager&) { form.FormClose(); });
  window.show();
  return QApplication::exec();
}
