#include "ui/filing_prompt.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/sites_dialog.h"

namespace zarvex {

namespace {
QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
}  // namespace

QString PanelWords(const sites::TPanelIdentity& identity) {
  QString words = Q(identity.model.empty() ? "Панель" : identity.model);
  if (!identity.panelId.empty()) return words + QStringLiteral(", ID ") + Q(identity.panelId);
  if (!identity.serverPhone.empty() || !identity.checkPhone.empty()) {
    return words + QStringLiteral(", телефоны %1 / %2").arg(Q(identity.serverPhone), Q(identity.checkPhone));
  }
  return words + QStringLiteral(" без ID и телефонов");
}

TFilingPrompt::TFilingPrompt(QWidget* parent, sites::TSiteStore& store, const sites::TSnapshotRecord& snapshot,
                             const sites::TPanelIdentity& identity, std::optional<sites::TSite> proposed)
    : QDialog(parent), store_(store), snapshot_(snapshot) {
  setObjectName(QStringLiteral("FilingPrompt"));
  setWindowTitle(QStringLiteral("К какому объекту относится панель?"));
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(proposed ? QStringLiteral("Прочитана панель: %1.\nОна относится к объекту «%2»?")
                                         .arg(PanelWords(identity), Q(proposed->name))
                                   : QStringLiteral("Прочитана панель: %1.\nОна не найдена ни у одного объекта. "
                                                    "Выберите объект или создайте новый.")
                                         .arg(PanelWords(identity)));
  text->setObjectName(QStringLiteral("LabelFilingText"));
  text->setWordWrap(true);
  layout->addWidget(text);
  choice_ = new QComboBox;
  choice_->setObjectName(QStringLiteral("CmBxFilingSite"));
  if (!proposed) choice_->addItem(QStringLiteral("— объект не выбран —"), QVariant::fromValue<qlonglong>(0));
  for (const sites::TSite& site : store_.Sites()) {
    choice_->addItem(SiteChoiceText(site), QVariant::fromValue<qlonglong>(site.id));
    if (proposed && proposed->id == site.id) choice_->setCurrentIndex(choice_->count() - 1);
  }
  layout->addWidget(choice_);
  auto* buttons = new QHBoxLayout;
  auto* file = new QPushButton(QStringLiteral("Подшить"));
  file->setObjectName(QStringLiteral("ButtonFilingConfirm"));
  file->setDefault(true);
  auto* fresh = new QPushButton(QStringLiteral("Новый объект…"));
  fresh->setObjectName(QStringLiteral("ButtonFilingNewSite"));
  auto* later = new QPushButton(QStringLiteral("Не сейчас"));
  later->setObjectName(QStringLiteral("ButtonFilingLater"));
  buttons->addWidget(file);
  buttons->addWidget(fresh);
  buttons->addStretch();
  buttons->addWidget(later);
  layout->addLayout(buttons);
  connect(file, &QPushButton::clicked, this, &TFilingPrompt::FileUnderChosen);
  connect(fresh, &QPushButton::clicked, this, &TFilingPrompt::NewSite);
  connect(later, &QPushButton::clicked, this, &QDialog::reject);
  auto enable = [file, this] { file->setEnabled(choice_->currentData().toLongLong() != 0); };
  connect(choice_, &QComboBox::currentIndexChanged, this, enable);
  enable();
}

void TFilingPrompt::FileUnderChosen() {
  const int64_t siteId = choice_->currentData().toLongLong();
  if (siteId == 0) return;
  try {
    store_.Refile(snapshot_.id, siteId);
  } catch (const std::exception& e) {
    QMessageBox::warning(this, windowTitle(), Q(e.what()));
    return;
  }
  emit Filed(siteId);
  accept();
}

void TFilingPrompt::NewSite() {
  bool ok = false;
  const QString name =
      QInputDialog::getText(this, QStringLiteral("Новый объект"), QStringLiteral("Название объекта:"), QLineEdit::Normal,
                            QString(), &ok);
  if (!ok || name.trimmed().isEmpty()) return;
  sites::TSite site;
  site.name = name.trimmed().toStdString();
  try {
    site = store_.CreateSite(site);
  } catch (const std::exception& e) {
    QMessageBox::warning(this, windowTitle(), Q(e.what()));
    return;
  }
  choice_->addItem(SiteChoiceText(site), QVariant::fromValue<qlonglong>(site.id));
  choice_->setCurrentIndex(choice_->count() - 1);
  FileUnderChosen();
}

}  // namespace zarvex
