#pragma once

#include <QString>

class QWidget;

namespace zarvex {

// Everything of the window that waits for the user. Tests answer through a
// scripted implementation so that they never block.
class ModalUi {
 public:
  virtual ~ModalUi() = default;

  virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
  // Yes and No, No the default; true for Yes.
  virtual bool AskYesNo(QWidget* parent, const QString& text) = 0;
  // The chosen file's full name, or an empty text when the user cancelled.
  // Neither dialog has a filter; the save dialog does not ask before
  // replacing, the open dialog accepts a name that does not exist.
  virtual QString SaveFileName(QWidget* parent, const QString& title,
                               const QString& fileName) = 0;
  virtual QString OpenFileName(QWidget* parent, const QString& title,
                               const QString& fileName) = 0;
};

}  // namespace zarvex
