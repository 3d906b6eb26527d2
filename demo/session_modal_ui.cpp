#include "demo/session_modal_ui.h"

#include <cstdio>

namespace zarvex::demo {

int SessionModalUi::CountOf(const QString& message) const {
  return static_cast<int>(messages_.count(message));
}

void SessionModalUi::ShowMessage(QWidget*, const QString& text) {
  messages_ << text;
  std::printf("message: %s\n", text.toUtf8().constData());
  std::fflush(stdout);
}

bool SessionModalUi::AskYesNo(QWidget*, const QString& text) {
  questions_ << text;
  std::printf("question (answered No): %s\n", text.toUtf8().constData());
  std::fflush(stdout);
  return false;
}

QString SessionModalUi::SaveFileName(QWidget*, const QString&, const QString&) { return {}; }

QString SessionModalUi::OpenFileName(QWidget*, const QString&, const QString&) { return {}; }

}  // namespace zarvex::demo
