#include "ui/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

static void InitTranslationsResource() { Q_INIT_RESOURCE(qt_translations); }

namespace zarvex {

bool InstallQtTranslations() {
  InitTranslationsResource();
  auto* translator = new QTranslator(QCoreApplication::instance());
  // A static build carries them in its resources instead.
  if (!translator->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      !translator->load(QStringLiteral("qtbase_ru"), QStringLiteral(":/translations"))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace zarvex
