#include "ui/history_dialog.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "report/settings_compare.h"
#include "settings/settings_file_error.h"
#include "text/panel_text.h"
#include "ui/compare_dialog.h"
#include "ui/tform1.h"
#include "ui/tmain_window.h"

namespace zarvex {

namespace {
std::string Decode(const Text& bytes) { return FromPanelText(bytes).toStdString(); }
QString When(std::time_t t) {
  return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}
}  // namespace

THistoryDialog::THistoryDialog(TMainWindow& main) : QDialog(&main), main_(main) {
  setObjectName(QStringLiteral("HistoryDialog"));
  setWindowTitle(QStringLiteral("История конфигураций"));
  resize(760, 420);
  auto* layout = new QVBoxLayout(this);
  auto* where = new QLabel(QStringLiteral("Снимки после каждого чтения и перед каждой записью, в папке %1")
                               .arg(QString::fromStdString(main_.History().Directory())));
  where->setWordWrap(true);
  layout->addWidget(where);
  table_ = new QTableWidget(0, 6);
  table_->setObjectName(QStringLiteral("HistoryTable"));
  table_->setHorizontalHeaderLabels({QStringLiteral("Дата"), QStringLiteral("Вид"),
                                     QStringLiteral("Модель"), QStringLiteral("Версия"),
                                     QStringLiteral("Отличий от окна"), QStringLiteral("Примечание")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(table_);
  auto* buttons = new QHBoxLayout;
  auto* load = new QPushButton(QStringLiteral("Загрузить в окно"));
  load->setObjectName(QStringLiteral("ButtonHistoryLoad"));
  auto* compare = new QPushButton(QStringLiteral("Сравнить с окном…"));
  compare->setObjectName(QStringLiteral("ButtonHistoryCompare"));
  auto* folder = new QPushButton(QStringLiteral("Открыть папку"));
  auto* close = new QPushButton(QStringLiteral("Закрыть"));
  connect(load, &QPushButton::clicked, this, &THistoryDialog::LoadSelected);
  connect(compare, &QPushButton::clicked, this, &THistoryDialog::CompareSelected);
  connect(folder, &QPushButton::clicked, this, &THistoryDialog::OpenFolder);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  buttons->addWidget(load);
  buttons->addWidget(compare);
  buttons->addWidget(folder);
  buttons->addStretch();
  buttons->addWidget(close);
  layout->addLayout(buttons);
  Fill();
}

void THistoryDialog::Fill() {
  try {
    snapshots_ = main_.History().List();
  } catch (const SettingsFileError& e) {
    snapshots_.clear();
    table_->setRowCount(0);
    QMessageBox::warning(this, windowTitle(),
                         QStringLiteral("Не удалось прочитать историю: ") + QString::fromStdString(e.what()));
    return;
  }
  table_->setRowCount(static_cast<int>(snapshots_.size()));
  const TCFG window = main_.Form().CollectedCopy();
  std::vector<QString> notes(snapshots_.size());
  for (size_t i = 0; i < snapshots_.size(); ++i) {
    const report::Snapshot& s = snapshots_[i];
    if (s.kind != report::Snapshot::Kind::Write) continue;
    // After a write, what the panel held before it is the last read's snapshot.
    if (const report::Snapshot* before = main_.History().Predecessor(snapshots_, s)) {
      const size_t j = static_cast<size_t>(before - snapshots_.data());
      notes[i] = QStringLiteral("до неё на панели: чтение %1").arg(When(before->time));
      if (notes[j].isEmpty()) notes[j] = QStringLiteral("было на панели до записи %1").arg(When(s.time));
    }
  }
  for (size_t i = 0; i < snapshots_.size(); ++i) {
    const report::Snapshot& s = snapshots_[i];
    QString differing = QStringLiteral("?");
    try {
      differing = QString::number(
          report::CompareSettings(window, main_.History().Load(s), Decode).parametersDiffering);
    } catch (const SettingsFileError&) {
    }
    const int row = static_cast<int>(i);
    table_->setItem(row, 0, new QTableWidgetItem(When(s.time)));
    table_->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(report::KindText(s.kind))));
    table_->setItem(row, 2, new QTableWidgetItem(s.firmwareVersion >= 500 ? QStringLiteral("Zarvex GSM ZX-4110")
                                                                         : QStringLiteral("Zarvex GSM")));
    table_->setItem(row, 3, new QTableWidgetItem(QString::number(s.firmwareVersion)));
    table_->setItem(row, 4, new QTableWidgetItem(differing));
    table_->setItem(row, 5, new QTableWidgetItem(notes[i]));
  }
  if (!snapshots_.empty()) table_->selectRow(0);
}

const report::Snapshot* THistoryDialog::Selected() const {
  const int row = table_->currentRow();
  if (row < 0 || row >= static_cast<int>(snapshots_.size())) return nullptr;
  return &snapshots_[static_cast<size_t>(row)];
}

void THistoryDialog::LoadSelected() {
  const report::Snapshot* s = Selected();
  if (!s) return;
  try {
    main_.Form().ApplyRecord(main_.History().Load(*s));
  } catch (const SettingsFileError& e) {
    QMessageBox::warning(this, windowTitle(), QString::fromStdString(e.what()));
    return;
  }
  Fill();
}

void THistoryDialog::CompareSelected() {
  const report::Snapshot* s = Selected();
  if (!s) return;
  TCFG other;
  try {
    other = main_.History().Load(*s);
  } catch (const SettingsFileError& e) {
    QMessageBox::warning(this, windowTitle(), QString::fromStdString(e.what()));
    return;
  }
  TCompareDialog compare(main_);
  compare.CompareWith(other, QStringLiteral("снимок (%1, %2)")
                                 .arg(QString::fromStdString(report::KindText(s->kind)), When(s->time)));
  compare.exec();
  Fill();
}

void THistoryDialog::OpenFolder() {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(main_.History().Directory())));
}

}  // namespace zarvex
