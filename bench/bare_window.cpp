// A bare Qt window of the same size, built the same way as the program: the
// yardstick for the program's own time to a mapped window
// (scripts/windows-window-figure.sh).
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Zarvex bare window"));
  window.setFixedSize(769, 670);
  window.show();
  return QApplication::exec();
}
