// Renders the window once per page, so that a person can look at the layout:
//   render_pages <output directory>
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

#include "ui/tform1.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
    return 2;
  }
  const QString outDir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  QDir().mkpath(outDir);
  QApplication::setFont(zarvex::TForm1::WindowFont());

  // The window reads and writes zarvex.cfg in the current directory.
  QTemporaryDir work;
  QDir::setCurrent(work.path());

  zarvex::TForm1 form;
  form.FormCreate();
  form.show();
  auto* pages = form.findChild<QTabWidget*>("PageControl1");
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    QApplication::processEvents();
    const QString file =
        QStringLiteral("%1/page-%2-%3.png").arg(outDir).arg(i + 1).arg(pages->widget(i)->objectName());
    if (!form.grab().save(file)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      return 1;
    }
    std::printf("%s\n", qPrintable(file));
  }

  // The two progress looks side by side with some key rows and the log shown.
  form.SetKeyRow(1, "3", "0A-1B-2C-3D-4E-5F-60-71", "");
  form.SetKeyRow(2, "7", "0A-1B-2C-3D-4E-5F-60-71", "3");
  form.SetWirelessLabels("Брелоки: 1, 4", "Датчики: 4(2)");
  form.SetProgressPosition(28);
  for (const bool smooth : {false, true}) {
    form.SetProgressSmooth(smooth);
    pages->setCurrentIndex(smooth ? 6 : 5);
    QApplication::processEvents();
    const QString file = QStringLiteral("%1/progress-%2.png").arg(outDir, smooth ? "smooth" : "segmented");
    if (!form.grab().save(file)) return 1;
    std::printf("%s\n", qPrintable(file));
  }

  // How a cut write and a silent panel are told.
  form.SetStatus("Устройство подключено", zarvex::protocol::kConnectedGreen);
  const zarvex::protocol::TransferStatusText looks[] = {
      {"Запись прервана: записано 20 из 56", false, "Конфигурация записана не полностью"},
      {"Панель не отвечает (параметр 21)", true, "Конфигурация записана не полностью"}};
  for (const auto& look : looks) {
    form.ShowTransferStatus(look);
    QApplication::processEvents();
    const QString file = QStringLiteral("%1/transfer-%2.png").arg(outDir, look.alarm ? "alarm" : "cut");
    if (!form.grab().save(file)) return 1;
    std::printf("%s\n", qPrintable(file));
  }
  return 0;
}
