#pragma once
// The program's window over the whole stack (controller, reading thread,
// device link) with the simulated panel on the virtual HID platform, in a
// directory of its own; rebuilt for every test.

#include <QDir>
#include <QTemporaryDir>
#include <memory>

#include "hid/qt/qt_main_loop.h"
#include "hid/virtual_hid_platform.h"
#include "link/panel_connection.h"
#include "sim/virtual_panel.h"
#include "ui/device_link_wiring.h"
#include "ui/tform1.h"

namespace zarvex::testing {

struct WindowStack {
  // The window created and started up; no panel plugged yet.
  bool Start() {
    if (!dir.isValid() || !QDir::setCurrent(dir.path())) return false;
    form = std::make_unique<TForm1>();
    platform = std::make_unique<hid::VirtualHidPlatform>();
    loop = std::make_unique<hid::TQtMainLoop>();
    panel = std::make_unique<sim::VirtualPanel>(*platform);
    connection = std::make_unique<link::TPanelConnection>(form->Cfg(), *form, *platform, *loop);
    ConnectDeviceLink(*form, *connection);
    form->FormCreate();
    return true;
  }
  // Each part goes before what it uses.
  void Stop() {
    connection.reset();
    panel.reset();
    loop.reset();
    platform.reset();
    form.reset();
  }

  QTemporaryDir dir;
  std::unique_ptr<TForm1> form;
  std::unique_ptr<hid::VirtualHidPlatform> platform;
  std::unique_ptr<hid::TQtMainLoop> loop;
  std::unique_ptr<sim::VirtualPanel> panel;
  std::unique_ptr<link::TPanelConnection> connection;
};

}  // namespace zarvex::testing
