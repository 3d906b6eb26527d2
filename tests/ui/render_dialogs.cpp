// Renders the menu bar window, its "Файл" menu and the history, compare and
// report dialogs to PNGs, so that a person can look at them:
//   render_dialogs <output directory>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>

#include "ui/compare_dialog.h"
#include "ui/history_dialog.h"
#include "ui/report_dialog.h"
#include "ui/tform1.h"
#include "ui/tmain_window.h"

namespace {
bool Save(QWidget& widget, const QString& file) {
  QApplication::processEvents();
  if (!widget.grab().save(file)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    return false;
  }
  std::printf("%s\n", qPrintable(file));
  return true;
}
}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
    return 2;
  }
  const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  QDir().mkpath(out);
  QApplication::setFont(zarvex::TForm1::WindowFont());
  QTemporaryDir work;
  QDir::setCurrent(work.path());

  zarvex::TForm1 form;
  form.FormCreate();
  zarvex::TMainWindow window(form, work.filePath(QStringLiteral("history")));
  window.show();
  // A read an hour ago, then a write with a longer arming delay.
  zarvex::TCFG before = form.CollectedCopy();
  before.FirmwareVersion = 430;
  window.History().Store(zarvex::report::Snapshot::Kind::Read, before, std::time(nullptr) - 3600);
  zarvex::TCFG written = before;
  written.ArmDelay = 451;
  written.Phone[1] = "+79001234567";
  window.History().Store(zarvex::report::Snapshot::Kind::Write, written, std::time(nullptr) - 3500);

  bool ok = Save(window, out + QStringLiteral("/main-window.png"));
  QMenu* file = window.menuBar()->actions().at(0)->menu();
  file->popup(window.mapToGlobal(QPoint(0, window.menuBar()->height())));
  ok &= Save(*file, out + QStringLiteral("/menu-file.png"));
  file->hide();

  zarvex::THistoryDialog history(window);
  history.show();
  ok &= Save(history, out + QStringLiteral("/history-dialog.png"));
  zarvex::TCompareDialog compare(window);
  compare.CompareWith(written, QStringLiteral("снимок (запись)"));
  compare.show();
  ok &= Save(compare, out + QStringLiteral("/compare-dialog.png"));
  zarvex::TReportDialog report(window);
  report.show();
  ok &= Save(report, out + QStringLiteral("/report-dialog.png"));
  return ok ? 0 : 1;
}
