#pragma once

#include "ui/modal_ui.h"

namespace zarvex {

// The platform's message boxes and file dialogs.
class QtModalUi : public ModalUi {
 public:
  void ShowMessage(QWidget* parent, const QString& text) override;
  bool AskYesNo(QWidget* parent, const QString& text) override;
  QString SaveFileName(QWidget* parent, const QString& title, const QString& fileName) override;
  QString OpenFileName(QWidget* parent, const QString& title, const QString& fileName) override;
};

}  // namespace zarvex
