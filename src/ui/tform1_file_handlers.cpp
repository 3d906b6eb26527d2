// Start-up, close and the two file buttons: everything built around the
// settings file.
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <exception>

#include "settings/settings_file.h"
#include "settings/settings_format.h"
#include "ui/tform1.h"
#include "ui_tform1.h"

namespace zarvex {
namespace {

const QString kWorkingFile = QStringLiteral("zarvex.cfg");

// UTF-8 on every system; the file layer turns it into the system's own form.
std::string FileSystemName(const QString& fileName) { return fileName.toStdString(); }

}  // namespace

template <typename Operation>
bool TForm1::RunFileOperation(Operation&& operation) {
  try {
    operation();
    return true;
  } catch (const std::exception& error) {
    ShowMessage(error.what());
    return false;
  }
}

void TForm1::SaveToFile(const QString& fileName) {
  zarvex::SaveSettingsFile(FileSystemName(fileName), cfg_);
}

// The record is filled only when the whole file could be read, so a failed
// load leaves both the record and the window as they were.
int TForm1::LoadFromFile(const QString& fileName) {
  const int lines = zarvex::LoadSettingsFile(FileSystemName(fileName), cfg_);
  ShowSettings();
  return lines;
}

void TForm1::FormCreate() {
  Call(handlers_.StartUp);
  ResetKeyGrid();
  if (QFileInfo(kWorkingFile).isFile()) {
    RunFileOperation([this] {
      LoadFromFile(kWorkingFile);
      ShowSettings();
      ApplyAutonomousMode();
    });
  } else {
    CollectSettings();
    ApplyNetworkFields();
  }
}

bool TForm1::FormClose() {
  CollectSettings();
  if (RunFileOperation([this] { SaveToFile(kWorkingFile); })) return true;
  // Without this way out a window started in a read-only directory could
  // never be closed.
  return modal_->AskYesNo(
      this, QStringLiteral("Не удалось сохранить zarvex.cfg. Закрыть программу без сохранения?"));
}

void TForm1::Button3Click() {
  CollectSettings();
  const QString fileName = ui_->EditFileName->text();
  if (!fileName.isEmpty()) {
    saveDialogFileName_ = fileName;
    RunFileOperation([this, &fileName] { SaveToFile(fileName); });
    return;
  }
  const QString chosen =
      modal_->SaveFileName(this, QStringLiteral("Сохранить конфигурацию"), saveDialogFileName_);
  if (!chosen.isEmpty()) SaveDialogCanClose(chosen);
}

// "Save as": the save dialog whatever the file name box holds.
void TForm1::SaveAsClick() {
  CollectSettings();
  const QString chosen =
      modal_->SaveFileName(this, QStringLiteral("Сохранить конфигурацию"), saveDialogFileName_);
  if (!chosen.isEmpty()) SaveDialogCanClose(chosen);
}

bool TForm1::SaveDialogCanClose(const QString& fileName) {
  saveDialogFileName_ = fileName;
  ui_->EditFileName->setText(fileName);
  RunFileOperation([this] { SaveToFile(ui_->EditFileName->text()); });
  return true;
}

void TForm1::ButtonLoadClick() {
  const QString chosen =
      modal_->OpenFileName(this, QStringLiteral("Загрузить конфигурацию"), openDialogFileName_);
  if (!chosen.isEmpty()) OpenDialogCanClose(chosen);
}

bool TForm1::OpenDialogCanClose(const QString& fileName) {
  openDialogFileName_ = fileName;
  ui_->EditFileName->setText(fileName);
  int lines = kSettingsFileLines;
  RunFileOperation([this, &lines] { lines = LoadFromFile(ui_->EditFileName->text()); });
  // The values load as they always have; the installer is told, without a
  // dialog in the way, that part of them were not in the file.
  if (lines < kSettingsFileLines) {
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                QString::fromStdString(ShortFileWarning(lines)), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("ShortFileWarning"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
  }
  return true;
}

}  // namespace zarvex
