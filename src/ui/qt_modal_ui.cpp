#include "ui/qt_modal_ui.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace zarvex {
namespace {

QString BoxTitle(QWidget* parent) {
  return parent ? parent->window()->windowTitle() : QApplication::applicationName();
}

QString RunFileDialog(QWidget* parent, const QString& title, const QString& fileName,
                      QFileDialog::AcceptMode mode) {
  QFileDialog dialog(parent, title);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (!fileName.isEmpty()) dialog.selectFile(fileName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

}  // namespace

void QtModalUi::ShowMessage(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, BoxTitle(parent), text, QMessageBox::Ok, parent);
  box.exec();
}

bool QtModalUi::AskYesNo(QWidget* parent, const QString& text) {
  return QMessageBox::question(parent, BoxTitle(parent), text, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

QString QtModalUi::SaveFileName(QWidget* parent, const QString& title, const QString& fileName) {
  return RunFileDialog(parent, title, fileName, QFileDialog::AcceptSave);
}

QString QtModalUi::OpenFileName(QWidget* parent, const QString& title, const QString& fileName) {
  return RunFileDialog(parent, title, fileName, QFileDialog::AcceptOpen);
}

}  // namespace zarvex
