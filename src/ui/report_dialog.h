#pragma once

#include <QDialog>
#include <optional>

#include "settings/tcfg.h"

class QCheckBox;
class QPlainTextEdit;

namespace zarvex {

class TMainWindow;

// The configuration report for the site's records: a note, whether the
// keypad codes show, then a PDF file or the system's print dialog.
class TReportDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TReportDialog(TMainWindow& main);
  // The report as HTML, as it would be written now.
  QString Html() const;
  // Writes the PDF; false with the reason when it cannot.
  bool SavePdf(const QString& fileName, QString& error) const;
  QPlainTextEdit* Note() const { return note_; }
  QCheckBox* ShowCodes() const { return showCodes_; }
  // The report of a stored snapshot instead of the window's values; the
  // heading says which.
  void ReportOn(const TCFG& record, const QString& heading);

 public slots:
  void ChoosePdf();
  void Print();

 private:
  TMainWindow& main_;
  QPlainTextEdit* note_ = nullptr;
  QCheckBox* showCodes_ = nullptr;
  std::optional<TCFG> record_;
};

}  // namespace zarvex
