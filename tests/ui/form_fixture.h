#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "scripted_modal_ui.h"
#include "ui/tform1.h"

namespace zarvex::testing {

// Enabled only while a panel is connected.
inline const char* const kDeviceButtons[] = {
    "ButtonRead",         "ButtonWrite",      "ButtonWriteKeys",     "ButtonDelKeys",
    "ButtonDelAllKeys",   "ButtonReadKeys",   "ButtonWriteTrinket",  "ButtonDelTrinket",
    "ButtonDelAllTrinket", "ButtonWriteSensor", "ButtonDelSensor",    "ButtonDelAllSensor",
    "ButtonReadWireLess"};

// One fresh window per test, in its own empty current directory, so that
// "zarvex.cfg" never leaks between tests or into the source tree. Qt Test runs
// the private init and cleanup slots around every test of a derived class.
class FormFixture : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    modal = ScriptedModalUi();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    QVERIFY(QDir::setCurrent(dir_->path()));
  }

  void cleanup() {
    form_.reset();
    QDir::setCurrent(QDir::tempPath());
    dir_.reset();
  }

 public:
  // Builds the window and, unless told otherwise, runs its start-up.
  TForm1& MakeForm(bool runFormCreate = true) {
    form_ = std::make_unique<TForm1>();
    form_->SetModalUi(modal);
    if (runFormCreate) form_->FormCreate();
    return *form_;
  }

  TForm1& Form() { return *form_; }

  template <typename T>
  T* W(const char* name) {
    T* widget = form_->findChild<T*>(QString::fromLatin1(name));
    if (!widget) qFatal("no widget named %s", name);
    return widget;
  }

  QString Path(const QString& name) const { return dir_->filePath(name); }

  static QByteArray ReadFile(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
  }

  static void WriteFile(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
  }

  // Joins lines with CR LF after each, as the settings file holds them.
  static QByteArray CrLfLines(const QList<QByteArray>& lines) {
    QByteArray bytes;
    for (const QByteArray& line : lines) bytes += line + "\r\n";
    return bytes;
  }

  ScriptedModalUi modal;

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<TForm1> form_;
};

}  // namespace zarvex::testing
