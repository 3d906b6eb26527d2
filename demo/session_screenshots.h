#pragma once
// Pictures of both windows after each step of a scripted session, as a
// person would see them: "NN-step-name-configurator.png" and
// "NN-step-name-simulator.png" in one directory.

#include <QString>

class QWidget;

namespace zarvex::demo {

class SessionScreenshots {
 public:
  SessionScreenshots(QString directory, QWidget& configurator, QWidget& simulator);

  // Creates the directory; false with the reason when it cannot.
  bool Prepare(QString& error) const;
  // Saves both pictures of step `number`; false with the file that could not
  // be written.
  bool Take(int number, const QString& stepName, QString& error) const;
  const QString& Directory() const { return directory_; }

 private:
  QString directory_;
  QWidget& configurator_;
  QWidget& simulator_;
};

}  // namespace zarvex::demo
