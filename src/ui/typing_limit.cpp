#include "ui/typing_limit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>
#include <limits>

namespace zarvex {

namespace {
// The number the digits of `text` make, every other character skipped; held
// at a value above any limit instead of wrapping.
qint64 DigitValue(const QString& text) {
  qint64 value = 0;
  for (const QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) continue;
    value = std::min<qint64>(value * 10 + (c.unicode() - '0'), qint64{1} << 40);
  }
  return value;
}
}  // namespace

TypingLimit::TypingLimit(QLineEdit* edit, int limit)
    : QValidator(edit), edit_(edit), limit_(limit), committed_(edit->text()) {
  connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { committed_ = text; });
  edit->setValidator(this);
  edit->installEventFilter(this);
}

void TypingLimit::InstallFromProperties(QObject* root) {
  for (QLineEdit* edit : root->findChildren<QLineEdit*>()) {
    const QVariant limit = edit->property("typingLimit");
    if (limit.isValid()) new TypingLimit(edit, limit.toInt());
  }
}

// QLineEdit validates a text set by the program as well. setText clears the
// undo history while every user edit adds to it, which tells the two apart;
// a program's text must count as valid, or the next user edit would not be
// undone when it grows past the limit.
void TypingLimit::LimitNumber(QLineEdit* edit, int maximum) {
  auto* limit = qobject_cast<TypingLimit*>(const_cast<QValidator*>(edit->validator()));
  if (!limit) limit = new TypingLimit(edit, std::numeric_limits<int>::max());
  limit->maximumNumber_ = maximum;
}

QValidator::State TypingLimit::validate(QString& input, int&) const {
  if (!edit_->isUndoAvailable()) return Acceptable;
  if (input.size() > limit_ && input.size() > committed_.size()) return Invalid;
  if (maximumNumber_ >= 0) {
    const qint64 value = DigitValue(input);
    if (value > maximumNumber_ && value > DigitValue(committed_)) return Invalid;
  }
  return Acceptable;
}

bool TypingLimit::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste) && !edit_->isReadOnly()) {
    QString pasted = QGuiApplication::clipboard()->text();
    pasted.remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    const qsizetype kept = edit_->text().size() - edit_->selectedText().size();
    const qsizetype room = std::max<qsizetype>(0, limit_ - kept);
    if (pasted.size() > room) {
      edit_->insert(pasted.left(room));
      return true;
    }
  }
  return QValidator::eventFilter(watched, event);
}

}  // namespace zarvex
