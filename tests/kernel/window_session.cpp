// The real window on the real kernel: zarvex-settings' own parts (the window,
// the hidraw/udev platform, Qt's loop) against the panel behind the USB HID
// gadget, driven through a whole session as an installer would: connect,
// read, change, write, list the keys, close. Run under Xvfb inside the
// kernel bench's guest:
//   kernel_window_session <results directory>
// Saves a screenshot of each step there; exit 0 only when every step held.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <cstdio>

#include "demo/session_wait.h"
#include "hid/linux/linux_hid_platform.h"
#include "hid/qt/qt_main_loop.h"
#include "link/panel_connection.h"
#include "sim/gadget_panel.h"
#include "ui/device_link_wiring.h"
#include "ui/tform1.h"
#include "ui/window_application.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++failures;
}

template <typename T>
T* Find(QWidget& form, const char* name) {
  T* widget = form.findChild<T*>(QString::fromLatin1(name));
  if (!widget) qFatal("no widget %s", name);
  return widget;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <results directory>\n", argv[0]);
    return 2;
  }
  zarvex::SetUpWindowApplication(QStringLiteral("Zarvex Settings"));
  const QString results = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  QDir(results).mkpath(QStringLiteral("window"));
  QDir::setCurrent(results + QStringLiteral("/window"));
  QFile::remove(QStringLiteral("zarvex.cfg"));

  zarvex::sim::GadgetPanel gadget("/dev/hidg0");
  gadget.Plug(zarvex::sim::PanelKind::First, 430);
  gadget.WithModel([](zarvex::sim::PanelModel& m) {
    for (int k = 1; k <= 5; ++k) m.Keys().Put(k * 3, {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x60, static_cast<uint8_t>(k)});
  });

  int step = 0;
  zarvex::TForm1 form;
  auto shot = [&](const char* name) {
    QApplication::processEvents();
    const QString file = QStringLiteral("%1/window/%2-%3.png").arg(results).arg(++step, 2, 10, QChar('0')).arg(QString::fromLatin1(name));
    Check(form.grab().save(file), name);
  };
  {
    zarvex::hid::LinuxHidPlatform platform;
    zarvex::hid::TQtMainLoop loop;
    zarvex::link::TPanelConnection connection(form.Cfg(), form, platform, loop);
    zarvex::ConnectDeviceLink(form, connection);
    form.FormCreate();
    form.show();

    auto text = [&](const char* label) { return Find<QLabel>(form, label)->text(); };
    Check(zarvex::demo::WaitFor([&] { return text("LabelDevVersion") == QStringLiteral("430"); }, 10000),
          "connected and identified");
    Check(text("LabelCon") == QStringLiteral("Устройство подключено"), "status says connected");
    shot("connected");

    Find<QPushButton>(form, "ButtonRead")->click();
    Check(zarvex::demo::WaitFor([&] { return form.TransferText() == QStringLiteral("Конфигурация прочитана"); }, 10000),
          "configuration read");
    shot("read");

    Find<QLineEdit>(form, "EditAlarmWait")->setText(QStringLiteral("45"));
    Find<QTabWidget>(form, "PageControl1")->setCurrentIndex(2);
    Find<QLineEdit>(form, "EditAP")->setText(QStringLiteral("kernel.apn"));
    Find<QPushButton>(form, "ButtonWrite")->click();
    Check(zarvex::demo::WaitFor([&] { return form.TransferText() == QStringLiteral("Конфигурация записана"); }, 10000),
          "configuration written");
    int32_t armDelay = 0;
    std::string apn;
    gadget.WithModel([&](zarvex::sim::PanelModel& m) {
      armDelay = m.Configuration().Number(18);
      apn = m.Configuration().Text(10);
    });
    Check(armDelay == 451 && apn == "kernel.apn", "the panel holds what was written");
    shot("written");

    Find<QTabWidget>(form, "PageControl1")->setCurrentIndex(5);
    Find<QPushButton>(form, "ButtonReadKeys")->click();
    auto* grid = Find<QTableWidget>(form, "KeyGrid2");
    Check(zarvex::demo::WaitFor([&] { return grid->rowCount() == 6; }, 10000), "five keys listed");
    shot("keys");

    form.close();
    Check(QFile::exists(QStringLiteral("zarvex.cfg")), "zarvex.cfg saved on close");
  }
  std::printf("window session: %s\n", failures == 0 ? "passed" : "FAILED");
  return failures == 0 ? 0 : 1;
}
