#pragma once

#include <QString>
#include <QValidator>

class QLineEdit;

namespace zarvex {

// A typing limit that binds only the user: unlike QLineEdit::setMaxLength it
// never cuts a text that the program puts into the box, and the user may still
// delete or overwrite inside an over-long text. Only growth past the limit is
// refused; a paste from the keyboard is cut to what still fits.
class TypingLimit : public QValidator {
  Q_OBJECT

 public:
  TypingLimit(QLineEdit* edit, int limit);

  // Attaches a limit to every line edit under `root` that carries the dynamic
  // property "typingLimit" (set in the form file).
  static void InstallFromProperties(QObject* root);
  // A number box: the number its digits make (as a collect reads them) may
  // not be typed past `maximum`; a larger one the program put in stays.
  static void LimitNumber(QLineEdit* edit, int maximum);

  State validate(QString& input, int& pos) const override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* edit_;
  int limit_;
  int maximumNumber_ = -1;  // none
  QString committed_;  // the text before the edit being validated
};

}  // namespace zarvex
