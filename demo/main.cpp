// zarvex-settings-demo: the configurator's window over the in-process
// virtual HID layer, with a simulated panel and its control window, so the
// program can be tried without a panel.

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include "demo/scripted_session.h"
#include "demo/session_modal_ui.h"
#include "demo/simulator_window.h"
#include "hid/qt/qt_main_loop.h"
#include "hid/virtual_hid_platform.h"
#include "link/panel_connection.h"
#include "sim/virtual_panel.h"
#include "ui/device_link_wiring.h"
#include "ui/tform1.h"
#include "ui/tmain_window.h"
#include "ui/window_application.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  zarvex::SetUpWindowApplication(QStringLiteral("Zarvex Settings demo"));

  // The demo's one option; the configurator itself takes none.
  QCommandLineParser options;
  options.setApplicationDescription(QStringLiteral("The configurator over a simulated panel."));
  options.addHelpOption();
  const QCommandLineOption scenario(
      QStringLiteral("scenario"),
      QStringLiteral("Run the scripted session, save screenshots of each step into <dir>, "
                     "exit 0 only when every check passed."),
      QStringLiteral("dir"));
  options.addOption(scenario);
  options.process(app);
  const bool scripted = options.isSet(scenario);

  // Declared so that each outlives what uses it: the panel unplugs itself
  // from the platform, the connection checks the panel's device in. A
  // scripted run must never wait for a person at a message box.
  zarvex::demo::SessionModalUi sessionModal;
  zarvex::TForm1 form;
  zarvex::hid::VirtualHidPlatform platform;
  zarvex::hid::TQtMainLoop loop;
  zarvex::sim::VirtualPanel panel(platform);
  zarvex::link::TPanelConnection connection(form.Cfg(), form, platform, loop);
  zarvex::ConnectDeviceLink(form, connection);
  zarvex::demo::SimulatorWindow simulator(panel);
  if (scripted) form.SetModalUi(sessionModal);

  form.FormCreate();
  // A scripted run keeps its history beside its screenshots, not in the
  // user's own.
  const QString history = scripted ? options.value(scenario) + QStringLiteral("/history") : QString();
  if (scripted) QDir(history).removeRecursively();  // each run starts with none
  zarvex::TMainWindow window(form, history);
  window.show();
  // Beside the configurator where the screen allows, else over its corner.
  simulator.move(window.frameGeometry().right() + 8, window.y());
  // Closing the configurator ends the demo; the simulator may close alone.
  simulator.setAttribute(Qt::WA_QuitOnClose, false);
  simulator.show();
  if (scripted) {
    return zarvex::demo::RunScriptedSession(window, simulator, panel, sessionModal,
                                            options.value(scenario));
  }
  return QApplication::exec();
}
