#include "ui/compare_dialog.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "report/panel_compare.h"
#include "report/settings_compare.h"
#include "settings/settings_file.h"
#include "settings/settings_file_error.h"
#include "text/panel_text.h"
#include "ui/tform1.h"
#include "ui/tmain_window.h"

namespace zarvex {

namespace {
std::string Decode(const Text& bytes) { return FromPanelText(bytes).toStdString(); }

QString Shown(const report::ShownValue& v) {
  const QString shown = QString::fromStdString(v.shown);
  return v.raw == v.shown ? shown : shown + QStringLiteral("  (") + QString::fromStdString(v.raw) + ")";
}
}  // namespace

TCompareDialog::TCompareDialog(TMainWindow& main) : QDialog(&main), main_(main) {
  setObjectName(QStringLiteral("CompareDialog"));
  setWindowTitle(QStringLiteral("Сравнение конфигураций"));
  resize(760, 480);
  auto* layout = new QVBoxLayout(this);
  auto* sources = new QHBoxLayout;
  sources->addWidget(new QLabel(QStringLiteral("Сравнить окно с:")));
  auto* file = new QPushButton(QStringLiteral("Файлом…"));
  file->setObjectName(QStringLiteral("ButtonCompareFile"));
  connect(file, &QPushButton::clicked, this, &TCompareDialog::ChooseFile);
  auto* last = new QPushButton(QStringLiteral("Последним чтением"));
  last->setObjectName(QStringLiteral("ButtonCompareLastRead"));
  last->setEnabled(main_.LastRead().has_value());
  connect(last, &QPushButton::clicked, this, &TCompareDialog::ChooseLastRead);
  auto* history = new QPushButton(QStringLiteral("Снимком из истории…"));
  connect(history, &QPushButton::clicked, this, [this] {
    reject();
    main_.ShowHistory();
  });
  sources->addWidget(file);
  sources->addWidget(last);
  sources->addWidget(history);
  sources->addStretch();
  layout->addLayout(sources);
  source_ = new QLabel;
  count_ = new QLabel;
  count_->setObjectName(QStringLiteral("LabelDifferenceCount"));
  QFont bold = count_->font();
  bold.setBold(true);
  count_->setFont(bold);
  layout->addWidget(source_);
  layout->addWidget(count_);
  table_ = new QTableWidget(0, 4);
  table_->setObjectName(QStringLiteral("DifferenceTable"));
  table_->setHorizontalHeaderLabels(
      {QStringLiteral("Параметр"), QStringLiteral("В окне"), QStringLiteral("Другое"), QString()});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
  table_->verticalHeader()->hide();
  layout->addWidget(table_);
  auto* buttons = new QHBoxLayout;
  auto* all = new QPushButton(QStringLiteral("Взять всё в окно"));
  all->setObjectName(QStringLiteral("ButtonTakeAll"));
  connect(all, &QPushButton::clicked, this, &TCompareDialog::TakeAll);
  auto* close = new QPushButton(QStringLiteral("Закрыть"));
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  buttons->addWidget(all);
  buttons->addStretch();
  buttons->addWidget(close);
  layout->addLayout(buttons);
  if (main_.LastRead()) ChooseLastRead();
  Refresh();
}

void TCompareDialog::CompareWith(const TCFG& other, const QString& name) {
  other_ = other;
  otherName_ = name;
  againstPanel_ = false;
  written_.reset();
  Refresh();
}

void TCompareDialog::CompareWrittenWithRead(const TCFG& written, const TCFG& read) {
  CompareWith(read, QStringLiteral("прочитано после записи"));
  written_ = written;
  againstPanel_ = true;
  Refresh();
}

void TCompareDialog::ChooseFile() {
  const QString name = QFileDialog::getOpenFileName(this, QStringLiteral("Сравнить с файлом"));
  if (name.isEmpty()) return;
  TCFG cfg;
  try {
    LoadSettingsFile(name.toStdString(), cfg);
  } catch (const SettingsFileError& e) {
    QMessageBox::warning(this, windowTitle(), QString::fromStdString(e.what()));
    return;
  }
  CompareWith(cfg, QStringLiteral("файл ") + name);
}

void TCompareDialog::ChooseLastRead() {
  if (!main_.LastRead()) return;
  CompareWith(*main_.LastRead(), QStringLiteral("последнее чтение панели"));
  // What a write of the window would change on that panel, and nothing else.
  againstPanel_ = true;
  Refresh();
}

QString TCompareDialog::CountText() const { return count_->text(); }

void TCompareDialog::Refresh() {
  table_->setRowCount(0);
  if (!other_) {
    source_->setText(QStringLiteral("Выберите, с чем сравнить."));
    count_->clear();
    return;
  }
  source_->setText((written_ ? QStringLiteral("Записано → ") : QStringLiteral("Окно → ")) + otherName_);
  table_->setHorizontalHeaderItem(2, new QTableWidgetItem(otherName_.section(' ', 0, 1)));
  const TCFG ours = written_ ? *written_ : main_.Form().CollectedCopy();
  report::Comparison c;
  if (againstPanel_) {
    c = report::CompareWithPanel(*other_, ours, other_->FirmwareVersion, Decode).comparison;
    for (report::Difference& d : c.differences) std::swap(d.ours, d.theirs);  // window → panel
  } else {
    c = report::CompareSettings(ours, *other_, Decode);
  }
  count_->setText(QString::fromStdString(report::DifferenceCountText(c.parametersDiffering)));
  const auto& fields = report::SettingsFields();
  for (const report::Difference& d : c.differences) {
    const int row = table_->rowCount();
    table_->insertRow(row);
    table_->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(d.field->label)));
    table_->setItem(row, 1, new QTableWidgetItem(Shown(d.ours)));
    table_->setItem(row, 2, new QTableWidgetItem(Shown(d.theirs)));
    if (written_) continue;
    auto* take = new QPushButton(QStringLiteral("Взять"));
    const int index = static_cast<int>(d.field - fields.data());
    connect(take, &QPushButton::clicked, this, [this, index] { Take(index); });
    table_->setCellWidget(row, 3, take);
  }
}

void TCompareDialog::Take(int fieldIndex) {
  if (!other_) return;
  TCFG ours = main_.Form().CollectedCopy();
  report::SettingsFields()[static_cast<size_t>(fieldIndex)].copy(ours, *other_);
  main_.Form().ApplyRecord(ours);
  Refresh();
}

void TCompareDialog::TakeAll() {
  if (!other_) return;
  TCFG ours = main_.Form().CollectedCopy();
  for (const report::SettingsField& field : report::SettingsFields()) field.copy(ours, *other_);
  main_.Form().ApplyRecord(ours);
  Refresh();
}

}  // namespace zarvex
