#pragma once

#include <QDialog>

class QLabel;
class QTableWidget;

namespace zarvex {

class TTeamWorker;

// «Журнал»: the site's append-only record on the company's server, who
// changed what and when, from which laptop. Fetched off the window's thread.
class TSiteLogDialog : public QDialog {
  Q_OBJECT

 public:
  TSiteLogDialog(TTeamWorker& worker, const QString& siteUid, const QString& siteName, QWidget* parent);
  QTableWidget* Table() const { return table_; }

 private:
  QString uid_;
  QLabel* told_ = nullptr;
  QTableWidget* table_ = nullptr;
};

}  // namespace zarvex
