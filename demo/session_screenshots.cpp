#include "demo/session_screenshots.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <utility>

namespace zarvex::demo {

SessionScreenshots::SessionScreenshots(QString directory, QWidget& configurator, QWidget& simulator)
    : directory_(std::move(directory)), configurator_(configurator), simulator_(simulator) {}

bool SessionScreenshots::Prepare(QString& error) const {
  if (QDir().mkpath(directory_)) return true;
  error = QStringLiteral("cannot create %1").arg(directory_);
  return false;
}

bool SessionScreenshots::Take(int number, const QString& stepName, QString& error) const {
  const QString stem = QStringLiteral("%1-%2").arg(number, 2, 10, QLatin1Char('0')).arg(stepName);
  const std::pair<QWidget*, const char*> windows[] = {{&configurator_, "configurator"},
                                                      {&simulator_, "simulator"}};
  for (const auto& [window, role] : windows) {
    const QString file = QDir(directory_).filePath(stem + QLatin1Char('-') + QLatin1String(role) +
                                                   QStringLiteral(".png"));
    if (!window->grab().save(file, "PNG")) {
      error = QStringLiteral("cannot write %1").arg(file);
      return false;
    }
  }
  return true;
}

}  // namespace zarvex::demo
