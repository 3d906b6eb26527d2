#include "ui/report_dialog.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPageSize>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

#include "report/configuration_report.h"
#include "text/panel_text.h"
#include "ui/tform1.h"
#include "ui/tmain_window.h"

namespace zarvex {

namespace {
std::string Decode(const Text& bytes) { return FromPanelText(bytes).toStdString(); }

// The same document for the PDF and the printer: the window's sans font at
// a print size; Qt embeds what it uses into the PDF.
void Render(const QString& html, QPagedPaintDevice& device) {
  QTextDocument document;
  QFont font = TForm1::WindowFont();
  font.setPointSize(9);
  document.setDefaultFont(font);
  document.setHtml(html);
  document.print(&device);
}
}  // namespace

TReportDialog::TReportDialog(TMainWindow& main) : QDialog(&main), main_(main) {
  setObjectName(QStringLiteral("ReportDialog"));
  setWindowTitle(QStringLiteral("Отчёт о конфигурации"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral(
      "Отчёт: все страницы окна, телефоны, коды, события, ключи или беспроводные устройства.")));
  layout->addWidget(new QLabel(QStringLiteral("Примечание:")));
  note_ = new QPlainTextEdit;
  note_->setObjectName(QStringLiteral("EditReportNote"));
  layout->addWidget(note_);
  showCodes_ = new QCheckBox(QStringLiteral("показать коды"));
  showCodes_->setObjectName(QStringLiteral("ChBxShowCodes"));
  layout->addWidget(showCodes_);
  auto* buttons = new QHBoxLayout;
  auto* pdf = new QPushButton(QStringLiteral("Сохранить PDF…"));
  auto* print = new QPushButton(QStringLiteral("Печать…"));
  auto* close = new QPushButton(QStringLiteral("Закрыть"));
  connect(pdf, &QPushButton::clicked, this, &TReportDialog::ChoosePdf);
  connect(print, &QPushButton::clicked, this, &TReportDialog::Print);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  buttons->addWidget(pdf);
  buttons->addWidget(print);
  buttons->addStretch();
  buttons->addWidget(close);
  layout->addLayout(buttons);
  resize(520, 320);
}

void TReportDialog::ReportOn(const TCFG& record, const QString& heading) {
  record_ = record;
  note_->setPlainText(heading);
  setWindowTitle(windowTitle() + QStringLiteral(": ") + heading);
}

QString TReportDialog::Html() const {
  TForm1& form = main_.Form();
  report::ReportContext context;
  if (record_) {
    // What the snapshot holds, and nothing of the panel in the window now.
    context.date = QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm")).toStdString();
    context.deviceType = record_->FirmwareVersion >= 500 ? "Zarvex GSM ZX-4110" : "Zarvex GSM";
    context.firmware = std::to_string(record_->FirmwareVersion);
    context.showCodes = showCodes_->isChecked();
    context.note = note_->toPlainText().toStdString();
    return QString::fromStdString(report::ConfigurationReportHtml(*record_, context, Decode));
  }
  context.date = QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm")).toStdString();
  context.deviceType = form.DeviceTypeText().toStdString();
  context.firmware = form.DeviceVersionText().toStdString();
  context.showCodes = showCodes_->isChecked();
  context.note = note_->toPlainText().toStdString();
  context.keysListed = form.KeysListed();
  if (context.keysListed) context.keys = form.KeyRows();
  context.wirelessListed = form.WirelessListed();
  context.trinkets = form.TrinketsText().toStdString();
  context.sensors = form.SensorsText().toStdString();
  return QString::fromStdString(report::ConfigurationReportHtml(form.CollectedCopy(), context, Decode));
}

bool TReportDialog::SavePdf(const QString& fileName, QString& error) const {
  QPdfWriter writer(fileName);
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setTitle(QStringLiteral("Отчёт о конфигурации Zarvex GSM"));
  writer.setCreator(QStringLiteral("Zarvex Settings 3.0.8"));
  Render(Html(), writer);
  if (!QFileInfo(fileName).isFile() || QFileInfo(fileName).size() == 0) {
    error = QStringLiteral("Не удалось записать ") + fileName;
    return false;
  }
  return true;
}

void TReportDialog::ChoosePdf() {
  QString name = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить отчёт"),
                                              QStringLiteral("zarvex-report.pdf"),
                                              QStringLiteral("PDF (*.pdf)"));
  if (name.isEmpty()) return;
  if (!name.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) name += QStringLiteral(".pdf");
  QString error;
  if (!SavePdf(name, error)) QMessageBox::warning(this, windowTitle(), error);
}

void TReportDialog::Print() {
  QPrinter printer;
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return;
  Render(Html(), printer);
}

}  // namespace zarvex
