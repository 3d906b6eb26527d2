#include "ui/site_log_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/team_worker.h"

namespace zarvex {

TSiteLogDialog::TSiteLogDialog(TTeamWorker& worker, const QString& siteUid, const QString& siteName, QWidget* parent)
    : QDialog(parent), uid_(siteUid) {
  setObjectName(QStringLiteral("SiteLogDialog"));
  setWindowTitle(QStringLiteral("Журнал объекта «%1»").arg(siteName));
  resize(820, 420);
  auto* layout = new QVBoxLayout(this);
  told_ = new QLabel(QStringLiteral("Запрос к серверу компании…"));
  told_->setObjectName(QStringLiteral("LabelSiteLogState"));
  told_->setWordWrap(true);
  layout->addWidget(told_);
  table_ = new QTableWidget(0, 6);
  table_->setObjectName(QStringLiteral("TableSiteLog"));
  table_->setHorizontalHeaderLabels({QStringLiteral("Получено"), QStringLiteral("Техник"), QStringLiteral("Ноутбук"),
                                     QStringLiteral("Поле"), QStringLiteral("Значение"), QStringLiteral("Отправил")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(table_, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(&worker, &TTeamWorker::LogReady, this,
          [this](const QString& uid, const QList<QStringList>& rows, const QString& problem) {
            if (uid != uid_) return;
            if (!problem.isEmpty()) {
              told_->setStyleSheet(QStringLiteral("color: #b00000"));
              told_->setText(problem);
              return;
            }
            told_->setStyleSheet(QString());
            told_->setText(rows.isEmpty() ? QStringLiteral("На сервере нет изменений этого объекта.")
                                          : QStringLiteral("Изменения, старые сверху:"));
            table_->setRowCount(static_cast<int>(rows.size()));
            for (int r = 0; r < rows.size(); ++r) {
              for (int c = 0; c < rows[r].size() && c < table_->columnCount(); ++c) {
                table_->setItem(r, c, new QTableWidgetItem(rows[r][c]));
              }
            }
          });
  worker.FetchLog(siteUid);
}

}  // namespace zarvex
