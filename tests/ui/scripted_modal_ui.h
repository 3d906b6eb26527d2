#pragma once

#include <QQueue>
#include <QString>
#include <QStringList>

#include "ui/modal_ui.h"

namespace zarvex::testing {

// Answers the window's modal questions from a script and records what was
// shown, so that a test never blocks on a dialog.
class ScriptedModalUi : public ModalUi {
 public:
  QQueue<bool> nextAnswers;        // AskYesNo; an empty queue answers No
  QQueue<QString> nextFileNames;   // file dialogs; empty queue or text = Cancel

  QStringList messages;
  QStringList questions;
  QStringList dialogTitles;
  QStringList dialogStartNames;

  void ShowMessage(QWidget*, const QString& text) override { messages << text; }
  bool AskYesNo(QWidget*, const QString& text) override {
    questions << text;
    return nextAnswers.isEmpty() ? false : nextAnswers.dequeue();
  }
  QString SaveFileName(QWidget*, const QString& title, const QString& fileName) override {
    return Dialog(title, fileName);
  }
  QString OpenFileName(QWidget*, const QString& title, const QString& fileName) override {
    return Dialog(title, fileName);
  }

 private:
  QString Dialog(const QString& title, const QString& fileName) {
    dialogTitles << title;
    dialogStartNames << fileName;
    return nextFileNames.isEmpty() ? QString() : nextFileNames.dequeue();
  }
};

}  // namespace zarvex::testing
