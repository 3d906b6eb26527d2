#include <QApplication>

#include "ui/qt_translations.h"
#include "ui/tform1.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Zarvex Settings"));
  QApplication::setApplicationVersion(QStringLiteral("3.0.8"));
  // The window is Russian, so Qt's own buttons and dialogs are as well.
  zarvex::InstallQtTranslations();
  QApplication::setFont(zarvex::TForm1::WindowFont());

  zarvex::TForm1 form;
  form.FormCreate();
  form.show();
  return QApplication::exec();
}
