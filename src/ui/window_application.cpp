#include "ui/window_application.h"

#include <QApplication>

#include "ui/qt_translations.h"
#include "ui/tform1.h"

namespace zarvex {

void SetUpWindowApplication(const QString& name) {
  QApplication::setApplicationName(name);
  QApplication::setApplicationVersion(QStringLiteral("3.0.8"));
  InstallQtTranslations();
  QApplication::setFont(TForm1::WindowFont());
}

}  // namespace zarvex
