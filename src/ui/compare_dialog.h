#pragma once

#include <QDialog>
#include <optional>

#include "settings/tcfg.h"

class QLabel;
class QTableWidget;

namespace zarvex {

class TMainWindow;

// The window's values (collected as a write would collect them) against a
// file, a history snapshot or the last read: every field that differs, in
// the window's words and units with the raw codes, and a button to take the
// other side's value into the window, one field or all.
class TCompareDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TCompareDialog(TMainWindow& main);
  // Compares against this record; `name` says where it came from.
  void CompareWith(const TCFG& other, const QString& name);
  // A verify after write: what was written against what the panel then held,
  // by the rule of a write; nothing to take into the window here.
  void CompareWrittenWithRead(const TCFG& written, const TCFG& read);
  QTableWidget* Table() const { return table_; }
  QString CountText() const;

 public slots:
  void ChooseFile();
  void ChooseLastRead();
  void TakeAll();

 private:
  void Refresh();
  void Take(int fieldIndex);

  TMainWindow& main_;
  std::optional<TCFG> other_;
  QString otherName_;
  bool againstPanel_ = false;  // the last read: only what a write would change counts
  std::optional<TCFG> written_;  // a verify's written side, in place of the window
  QLabel* source_ = nullptr;
  QLabel* count_ = nullptr;
  QTableWidget* table_ = nullptr;
};

}  // namespace zarvex
