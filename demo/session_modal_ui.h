#pragma once
// The window's modal seam for a scripted session: nothing waits for a
// person. Messages are recorded and echoed, questions answered "No", file
// dialogs cancelled.

#include <QStringList>

#include "ui/modal_ui.h"

namespace zarvex::demo {

class SessionModalUi final : public ModalUi {
 public:
  const QStringList& Messages() const { return messages_; }
  const QStringList& Questions() const { return questions_; }
  int CountOf(const QString& message) const;

  void ShowMessage(QWidget* parent, const QString& text) override;
  bool AskYesNo(QWidget* parent, const QString& text) override;
  QString SaveFileName(QWidget* parent, const QString& title, const QString& fileName) override;
  QString OpenFileName(QWidget* parent, const QString& title, const QString& fileName) override;

 private:
  QStringList messages_;
  QStringList questions_;
};

}  // namespace zarvex::demo
