#pragma once

#include <QDialog>
#include <vector>

#include "report/config_history.h"

class QTableWidget;

namespace zarvex {

class TMainWindow;

// The configuration history, newest first: date, kind, model, version, how
// many parameters differ from the window now, and which read shows what the
// panel held before each write. A snapshot can be loaded into the window,
// compared, or found in its folder.
class THistoryDialog : public QDialog {
  Q_OBJECT

 public:
  explicit THistoryDialog(TMainWindow& main);
  QTableWidget* Table() const { return table_; }
  const std::vector<report::Snapshot>& Snapshots() const { return snapshots_; }

 public slots:
  void LoadSelected();
  void CompareSelected();
  void OpenFolder();

 private:
  void Fill();
  const report::Snapshot* Selected() const;

  TMainWindow& main_;
  std::vector<report::Snapshot> snapshots_;
  QTableWidget* table_ = nullptr;
};

}  // namespace zarvex
