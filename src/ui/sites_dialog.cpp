#include "ui/sites_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "settings/settings_format.h"
#include "sites/field_changes.h"
#include "sites/utc_time.h"
#include "team/team_sync.h"
#include "ui/compare_dialog.h"
#include "ui/report_dialog.h"
#include "ui/site_log_dialog.h"
#include "ui/team_join_dialog.h"
#include "ui/team_worker.h"
#include "ui/tform1.h"
#include "ui/tmain_window.h"

namespace zarvex {

namespace {

constexpr int kUnfiled = -1;
// Another program's write is waited out in steps this long.
constexpr int kBusyRetryMs = 250;

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
// Stored times are UTC; the installer reads his own clock, to the second.
QString When(const std::string& utc) { return Q(sites::LocalText(utc)); }
std::string S(const QString& text) { return text.trimmed().toStdString(); }

QTableWidget* Table(const char* name, const QStringList& headers) {
  auto* table = new QTableWidget(0, static_cast<int>(headers.size()));
  table->setObjectName(QString::fromLatin1(name));
  table->setHorizontalHeaderLabels(headers);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->verticalHeader()->hide();
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table->horizontalHeader()->setStretchLastSection(true);
  return table;
}

QPushButton* Button(const QString& text, const char* name) {
  auto* button = new QPushButton(text);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

// A snapshot from the company's server without the keypad codes (the role
// may not see them) shows them as hidden, never as blank codes.
constexpr char kHiddenCode[] = "****";

TCFG RecordOf(const sites::TSnapshotRecord& r) {
  TCFG cfg;
  ParseSettings(r.content, cfg);
  if (team::LacksCodes(r)) {
    cfg.KeypadCode0 = kHiddenCode;
    for (Text& code : cfg.KeypadCode) code = kHiddenCode;
  }
  return cfg;
}

// The newest change of the site's fields: who made it and on which laptop.
std::optional<sites::TFieldChange> LastChange(const std::vector<sites::TFieldChange>& changes) {
  std::optional<sites::TFieldChange> last;
  for (const sites::TFieldChange& c : changes) {
    if (!c.made.empty() && (!last || c.made > last->made)) last = c;
  }
  return last;
}

QString ChangedText(const sites::TSite& site, const std::optional<sites::TFieldChange>& last) {
  if (!last) return QStringLiteral("Изменён %1, %2").arg(When(site.changed), Q(site.technician));
  QString who = Q(last->technician);
  if (!last->laptop.empty() && last->laptop != last->technician) who += QStringLiteral(" (%1)").arg(Q(last->laptop));
  return QStringLiteral("Изменён %1, %2").arg(When(last->made), who);
}

}  // namespace

QString SiteChoiceText(const sites::TSite& site) {
  QString text = Q(site.name);
  QStringList more;
  if (!site.customer.empty()) more << Q(site.customer);
  if (!site.address.empty()) more << Q(site.address);
  more << QStringLiteral("#") + Q(site.ShortId());
  return text + QStringLiteral(" — ") + more.join(QStringLiteral(", "));
}

TSitesDialog::TSitesDialog(TMainWindow& main, sites::TSiteStore& store)
    : QDialog(&main), main_(main), store_(store) {
  setObjectName(QStringLiteral("SitesDialog"));
  setWindowTitle(QStringLiteral("Объекты"));
  resize(980, 600);
  auto* layout = new QVBoxLayout(this);
  auto* splitter = new QSplitter;
  layout->addWidget(splitter, 1);

  auto* left = new QWidget;
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  search_ = new QLineEdit;
  search_->setObjectName(QStringLiteral("EditSiteSearch"));
  search_->setPlaceholderText(QStringLiteral("Поиск: название, заказчик, адрес, телефон, ID"));
  search_->setClearButtonEnabled(true);
  list_ = new QListWidget;
  list_->setObjectName(QStringLiteral("ListSites"));
  // Long names and addresses wrap instead of hiding behind a scroll bar.
  list_->setWordWrap(true);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->setResizeMode(QListView::Adjust);
  auto* add = Button(QStringLiteral("Новый объект…"), "ButtonNewSite");
  leftLayout->addWidget(search_);
  leftLayout->addWidget(list_);
  leftLayout->addWidget(add);
  splitter->addWidget(left);

  auto* right = new QWidget;
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  auto* form = new QFormLayout;
  name_ = new QLineEdit;
  name_->setObjectName(QStringLiteral("EditSiteName"));
  customer_ = new QLineEdit;
  customer_->setObjectName(QStringLiteral("EditSiteCustomer"));
  address_ = new QLineEdit;
  address_->setObjectName(QStringLiteral("EditSiteAddress"));
  phones_ = new QLineEdit;
  phones_->setObjectName(QStringLiteral("EditSitePhones"));
  notes_ = new QPlainTextEdit;
  notes_->setObjectName(QStringLiteral("EditSiteNotes"));
  notes_->setMaximumHeight(60);
  form->addRow(QStringLiteral("Название:"), name_);
  form->addRow(QStringLiteral("Заказчик:"), customer_);
  form->addRow(QStringLiteral("Адрес:"), address_);
  form->addRow(QStringLiteral("Телефоны:"), phones_);
  form->addRow(QStringLiteral("Заметки:"), notes_);
  rightLayout->addLayout(form);
  auto* saveRow = new QHBoxLayout;
  changed_ = new QLabel;
  changed_->setObjectName(QStringLiteral("LabelSiteChanged"));
  changed_->setWordWrap(true);
  save_ = Button(QStringLiteral("Сохранить объект"), "ButtonSaveSite");
  siteLog_ = Button(QStringLiteral("Журнал"), "ButtonSiteLog");
  siteLog_->setToolTip(QStringLiteral("Кто и когда менял объект — запись сервера компании"));
  saveRow->addWidget(changed_, 1);
  saveRow->addWidget(siteLog_);
  saveRow->addWidget(save_);
  rightLayout->addLayout(saveRow);
  busy_ = new QLabel;
  busy_->setObjectName(QStringLiteral("LabelSitesBusy"));
  busy_->setWordWrap(true);
  busy_->setStyleSheet(QStringLiteral("color: #b00000"));
  busy_->hide();
  rightLayout->addWidget(busy_);
  busyRetry_.setSingleShot(true);
  busyRetry_.setInterval(kBusyRetryMs);
  connect(&busyRetry_, &QTimer::timeout, this, &TSitesDialog::RetryBusy);
  conflicts_ = new QLabel;
  conflicts_->setObjectName(QStringLiteral("LabelSiteConflicts"));
  conflicts_->setWordWrap(true);
  conflicts_->setStyleSheet(QStringLiteral("color: #b00000"));
  rightLayout->addWidget(conflicts_);
  conflictRows_ = new QVBoxLayout;
  rightLayout->addLayout(conflictRows_);
  rightLayout->addWidget(new QLabel(QStringLiteral("Панели:")));
  panels_ = Table("TableSitePanels", {QStringLiteral("Модель"), QStringLiteral("Версия"), QStringLiteral("ID"),
                                      QStringLiteral("Телефон сервера"), QStringLiteral("Телефон проверки"),
                                      QStringLiteral("Прочитана")});
  panels_->setMaximumHeight(110);
  rightLayout->addWidget(panels_);
  rightLayout->addWidget(new QLabel(QStringLiteral("Снимки конфигураций (новые сверху):")));
  snapshots_ = Table("TableSiteSnapshots", {QStringLiteral("Дата"), QStringLiteral("Вид"), QStringLiteral("Модель"),
                                            QStringLiteral("Версия"), QStringLiteral("Техник")});
  rightLayout->addWidget(snapshots_, 1);
  auto* buttons = new QHBoxLayout;
  auto* load = Button(QStringLiteral("Загрузить в окно"), "ButtonSnapshotLoad");
  auto* compare = Button(QStringLiteral("Сравнить с окном…"), "ButtonSnapshotCompare");
  auto* print = Button(QStringLiteral("Отчёт…"), "ButtonSnapshotPrint");
  auto* file = Button(QStringLiteral("Подшить к объекту…"), "ButtonSnapshotFile");
  auto* close = Button(QStringLiteral("Закрыть"), "ButtonSitesClose");
  for (QPushButton* b : {load, compare, print, file}) buttons->addWidget(b);
  buttons->addStretch();
  buttons->addWidget(close);
  rightLayout->addLayout(buttons);
  splitter->addWidget(right);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({300, 680});

  // The company's server: what waits, when it last synced, whether it answers.
  team_ = main_.Team();
  auto* teamRow = new QHBoxLayout;
  teamStatus_ = new QLabel;
  teamStatus_->setObjectName(QStringLiteral("LabelTeamStatus"));
  teamStatus_->setWordWrap(true);
  auto* join = Button(QStringLiteral("Подключиться к серверу компании…"), "ButtonTeamJoin");
  teamSync_ = Button(QStringLiteral("Синхронизировать"), "ButtonTeamSync");
  teamRow->addWidget(teamStatus_, 1);
  teamRow->addWidget(join);
  teamRow->addWidget(teamSync_);
  layout->addLayout(teamRow);
  if (team_) {
    connect(join, &QPushButton::clicked, this, [this] {
      TTeamJoinDialog dialog(*team_, this);
      dialog.exec();
    });
    connect(teamSync_, &QPushButton::clicked, team_, &TTeamWorker::Sync);
    connect(team_, &TTeamWorker::StateChanged, this, &TSitesDialog::ShowTeamState);
    connect(team_, &TTeamWorker::Synced, this, &TSitesDialog::TeamSynced);
  } else {
    join->setEnabled(false);
  }
  connect(siteLog_, &QPushButton::clicked, this, &TSitesDialog::ShowSiteLog);
  ShowTeamState();

  connect(search_, &QLineEdit::textChanged, this, &TSitesDialog::Refresh);
  connect(list_, &QListWidget::currentRowChanged, this, &TSitesDialog::ShowSelected);
  connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
    if (value >= list_->verticalScrollBar()->maximum() - 2) FetchMore();
  });
  connect(add, &QPushButton::clicked, this, &TSitesDialog::NewSite);
  connect(save_, &QPushButton::clicked, this, &TSitesDialog::SaveSite);
  connect(load, &QPushButton::clicked, this, &TSitesDialog::LoadSnapshot);
  connect(compare, &QPushButton::clicked, this, &TSitesDialog::CompareSnapshot);
  connect(print, &QPushButton::clicked, this, &TSitesDialog::PrintSnapshot);
  connect(file, &QPushButton::clicked, this, &TSitesDialog::FileSnapshotUnder);
  connect(snapshots_, &QTableWidget::cellDoubleClicked, this, &TSitesDialog::LoadSnapshot);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  Refresh();
}

bool TSitesDialog::Try(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const std::exception& e) {
    QMessageBox::warning(this, windowTitle(), Q(e.what()));
    return false;
  }
}

bool TSitesDialog::TryRead(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const sites::SitesBusy&) {
    listWaiting_ = true;
    WaitForDatabase();
    return false;
  } catch (const std::exception& e) {
    QMessageBox::warning(this, windowTitle(), Q(e.what()));
    return false;
  }
}

void TSitesDialog::WaitForDatabase() {
  busy_->setText(pendingSave_ ? QStringLiteral("База объектов занята другой программой: объект будет сохранён, "
                                               "как только она освободится.")
                              : QStringLiteral("База объектов занята другой программой: список обновится, "
                                               "как только она освободится."));
  busy_->show();
  busyRetry_.start();
}

void TSitesDialog::RetryBusy() {
  if (pendingSave_ && !SaveNow(*pendingSave_)) return;  // still held: waits on
  if (listWaiting_) {
    listWaiting_ = false;
    RefreshKeepingEdits();
    if (listWaiting_) return;
  }
  busy_->hide();
}

void TSitesDialog::Refresh() {
  const std::optional<int64_t> keep = shown_;
  QSignalBlocker quiet(list_);
  list_->clear();
  fetched_ = 0;
  more_ = true;
  int select = -1;
  if (search_->text().trimmed().isEmpty()) {
    auto* unfiled = new QListWidgetItem(QStringLiteral("Без объекта"));
    unfiled->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(kUnfiled));
    list_->addItem(unfiled);
    if (!keep) select = 0;
  }
  const auto rowOf = [&](int64_t id) {
    for (int row = list_->count() - 1; row >= 0; --row) {
      if (list_->item(row)->data(Qt::UserRole).toLongLong() == id) return row;
    }
    return -1;
  };
  // The site on the page stays chosen, however far down the list it is.
  while (FetchMore() && keep && rowOf(*keep) < 0) {
  }
  if (keep) select = rowOf(*keep);
  if (select < 0 && list_->count() > 0) select = 0;
  list_->setCurrentRow(select);
  ShowSelected();
}

bool TSitesDialog::FetchMore() {
  if (!more_) return false;
  std::vector<sites::TSite> found;
  if (!TryRead([&] { found = store_.Find(S(search_->text()), kSitePage, fetched_); })) {
    more_ = false;
    return false;
  }
  QSignalBlocker quiet(list_);
  for (const sites::TSite& site : found) {
    QString text = Q(site.name);
    if (!site.address.empty()) text += QStringLiteral(" — ") + Q(site.address);
    auto* item = new QListWidgetItem(text);
    item->setToolTip(text);
    item->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(site.id));
    list_->addItem(item);
  }
  fetched_ += static_cast<int>(found.size());
  more_ = static_cast<int>(found.size()) == kSitePage;
  return !found.empty();
}

void TSitesDialog::ShowSelected() {
  QListWidgetItem* item = list_->currentItem();
  if (!item) {
    ShowSite(std::nullopt);
    return;
  }
  const qlonglong id = item->data(Qt::UserRole).toLongLong();
  ShowSite(id == kUnfiled ? std::nullopt : std::optional<int64_t>(id));
}

void TSitesDialog::ShowSite(std::optional<int64_t> siteId) {
  shown_ = siteId;
  std::optional<sites::TSite> site;
  std::vector<sites::TSitePanel> panels;
  std::vector<sites::TSiteConflict> conflicts;
  std::optional<sites::TFieldChange> lastChange;
  shownSnapshots_.clear();
  const bool read = TryRead([&] {
    if (siteId) {
      site = store_.Site(*siteId);
      panels = store_.Panels(*siteId);
      conflicts = store_.Conflicts(*siteId);
      lastChange = LastChange(store_.Changes(*siteId));
    }
    shownSnapshots_ = store_.Snapshots(siteId);
  });
  shownSite_ = site;
  siteLog_->setEnabled(site.has_value() && team_ && team_->State().joined);
  for (QLineEdit* edit : {name_, customer_, address_, phones_}) edit->setEnabled(site.has_value());
  notes_->setEnabled(site.has_value());
  save_->setEnabled(site.has_value());
  name_->setText(site ? Q(site->name) : QString());
  customer_->setText(site ? Q(site->customer) : QString());
  address_->setText(site ? Q(site->address) : QString());
  phones_->setText(site ? Q(site->phones) : QString());
  notes_->setPlainText(site ? Q(site->notes) : QString());
  changed_->setText(site     ? ChangedText(*site, lastChange)
                    : !read && listWaiting_ ? QStringLiteral("Загружается…")
                             : QStringLiteral("Снимки, ещё не подшитые к объекту"));
  shownChanged_ = site ? site->changed : std::string();
  ShowConflicts(conflicts);
  panels_->setRowCount(static_cast<int>(panels.size()));
  for (int row = 0; row < static_cast<int>(panels.size()); ++row) {
    const sites::TSitePanel& p = panels[static_cast<size_t>(row)];
    const QStringList cells = {Q(p.identity.model), QString::number(p.identity.firmware), Q(p.identity.panelId),
                               Q(p.identity.serverPhone), Q(p.identity.checkPhone), When(p.lastRead)};
    for (int c = 0; c < cells.size(); ++c) panels_->setItem(row, c, new QTableWidgetItem(cells[c]));
  }
  snapshots_->setRowCount(static_cast<int>(shownSnapshots_.size()));
  for (int row = 0; row < static_cast<int>(shownSnapshots_.size()); ++row) {
    const sites::TSnapshotRecord& s = shownSnapshots_[static_cast<size_t>(row)];
    const QStringList cells = {When(s.taken), Q(sites::KindWords(s.kind)), Q(s.model), QString::number(s.firmware),
                               Q(s.technician)};
    for (int c = 0; c < cells.size(); ++c) snapshots_->setItem(row, c, new QTableWidgetItem(cells[c]));
  }
  if (!shownSnapshots_.empty()) snapshots_->selectRow(0);
}

void TSitesDialog::ShowConflicts(const std::vector<sites::TSiteConflict>& conflicts) {
  // Each value of a field changed on two sides, with the button that keeps it.
  while (QLayoutItem* item = conflictRows_->takeAt(0)) {
    delete item->widget();
    delete item;
  }
  QString told;
  for (const sites::TSiteConflict& c : conflicts) {
    told += QStringLiteral("«%1» изменено с двух сторон: «%2» или «%3»%4. ")
                .arg(Q(c.field), Q(c.local), Q(c.imported),
                     c.otherTechnician.empty() ? QString() : QStringLiteral(" (%1)").arg(Q(c.otherTechnician)));
    for (const std::string* value : {&c.local, &c.imported}) {
      auto* row = new QWidget;
      auto* layout = new QHBoxLayout(row);
      layout->setContentsMargins(0, 0, 0, 0);
      auto* label = new QLabel(QStringLiteral("%1: «%2»").arg(Q(c.field), Q(*value)));
      label->setStyleSheet(QStringLiteral("color: #b00000"));
      auto* take = Button(QStringLiteral("Взять это значение"), "ButtonTakeValue");
      const std::string field = c.field, chosen = *value;
      connect(take, &QPushButton::clicked, this, [this, field, chosen] {
        if (shown_ && Try([&] { store_.Resolve(*shown_, field, chosen); })) Refresh();
      });
      layout->addWidget(label, 1);
      layout->addWidget(take);
      conflictRows_->addWidget(row);
    }
  }
  conflicts_->setText(told);
  conflicts_->setVisible(!told.isEmpty());
}

void TSitesDialog::NewSite() {
  bool ok = false;
  const QString name = QInputDialog::getText(this, QStringLiteral("Новый объект"), QStringLiteral("Название объекта:"),
                                             QLineEdit::Normal, search_->text(), &ok);
  if (!ok || name.trimmed().isEmpty()) return;
  sites::TSite site;
  site.name = S(name);
  if (!Try([&] { site = store_.CreateSite(site); })) return;
  shown_ = site.id;
  search_->clear();
  Refresh();
}

void TSitesDialog::SaveSite() {
  if (!shown_ || !shownSite_) return;
  sites::TSite site = *shownSite_;
  site.name = S(name_->text());
  site.customer = S(customer_->text());
  site.address = S(address_->text());
  site.phones = S(phones_->text());
  site.notes = notes_->toPlainText().toStdString();
  // What the page was filled from: another program's edit since then is
  // not overwritten without asking.
  site.changed = shownChanged_;
  // A newer save of the page replaces one still waiting: it holds all of it.
  pendingSave_.reset();
  SaveNow(std::move(site));
}

// By value: a waiting save is handed in from `pendingSave_`, which this
// clears or replaces while it still needs the site.
bool TSitesDialog::SaveNow(sites::TSite site) {
  try {
    store_.UpdateSite(site);
  } catch (const sites::SitesBusy&) {
    pendingSave_ = site;
    WaitForDatabase();
    return false;
  } catch (const sites::SitesChangedMeanwhile& e) {
    pendingSave_.reset();
    const auto answer = QMessageBox::question(
        this, windowTitle(),
        Q(e.what()) + QStringLiteral("\nЗаписать ваши значения поверх его изменений?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) {
      if (shown_ == site.id) ShowSite(shown_);
      return true;
    }
    if (!Try([&] { store_.UpdateSite(site, true); })) return true;
  } catch (const std::exception& e) {
    pendingSave_.reset();
    QMessageBox::warning(this, windowTitle(), Q(e.what()));
    return true;
  }
  const bool waited = pendingSave_.has_value();
  pendingSave_.reset();
  if (waited) {
    // Saved late: the installer may be typing on another page by now.
    RefreshKeepingEdits(site.id);
  } else {
    Refresh();
  }
  return true;
}

void TSitesDialog::done(int result) {
  if (pendingSave_ && !SaveNow(*pendingSave_)) {
    const auto answer = QMessageBox::question(
        this, windowTitle(),
        QStringLiteral("Объект «%1» ещё не сохранён: база объектов занята другой программой. "
                       "Закрыть без сохранения?").arg(Q(pendingSave_->name)),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
    pendingSave_.reset();
  }
  busyRetry_.stop();
  QDialog::done(result);
}

std::optional<sites::TSnapshotRecord> TSitesDialog::SelectedSnapshot() {
  const int row = snapshots_->currentRow();
  if (row < 0 || row >= static_cast<int>(shownSnapshots_.size())) return std::nullopt;
  return shownSnapshots_[static_cast<size_t>(row)];
}

void TSitesDialog::LoadSnapshot() {
  const auto s = SelectedSnapshot();
  if (!s) return;
  if (!team::LacksCodes(*s)) {
    main_.Form().ApplyRecord(RecordOf(*s));
    return;
  }
  // The codes stay as the window holds them: a write never sends hidden ones.
  TCFG cfg;
  ParseSettings(s->content, cfg);
  const TCFG window = main_.Form().CollectedCopy();
  cfg.KeypadCode0 = window.KeypadCode0;
  cfg.KeypadCode = window.KeypadCode;
  main_.Form().ApplyRecord(cfg);
  QMessageBox::information(
      this, windowTitle(),
      QStringLiteral("В этом снимке нет кодов клавиатуры (Код 1–10): вашей роли они не видны. Загружено всё, "
                     "кроме них; коды в окне остались прежними — проверьте их перед записью на панель."));
}

void TSitesDialog::CompareSnapshot() {
  const auto s = SelectedSnapshot();
  if (!s) return;
  TCompareDialog dialog(main_);
  dialog.CompareWith(RecordOf(*s), QStringLiteral("снимок %1 (%2)").arg(When(s->taken), Q(sites::KindWords(s->kind))));
  dialog.exec();
}

void TSitesDialog::PrintSnapshot() {
  const auto s = SelectedSnapshot();
  if (!s) return;
  TReportDialog dialog(main_);
  QString heading = QStringLiteral("Снимок %1 (%2)").arg(When(s->taken), Q(sites::KindWords(s->kind)));
  if (shown_) heading += QStringLiteral(", объект «%1»").arg(name_->text());
  dialog.ReportOn(RecordOf(*s), heading);
  dialog.exec();
}

void TSitesDialog::FileSnapshotUnder() {
  const auto s = SelectedSnapshot();
  if (!s) return;
  std::vector<sites::TSite> all;
  if (!Try([&] { all = store_.Sites(); }) || all.empty()) return;
  // Two sites may share a name: each is told with its customer, address and id.
  QStringList names;
  for (const sites::TSite& site : all) names << SiteChoiceText(site);
  bool ok = false;
  const QString chosen = QInputDialog::getItem(this, QStringLiteral("Подшить к объекту"), QStringLiteral("Объект:"),
                                               names, 0, false, &ok);
  if (!ok) return;
  const auto index = static_cast<size_t>(names.indexOf(chosen));
  if (Try([&] { store_.Refile(s->id, all[index].id); })) ShowSite(shown_);
}

void TSitesDialog::ShowTeamState() {
  if (!team_) {
    teamStatus_->setText(QStringLiteral("Сервер компании недоступен в этой сборке"));
    teamSync_->setEnabled(false);
    return;
  }
  const TTeamState& state = team_->State();
  teamStatus_->setText(TeamStatusText(state));
  // A lost connection is told here, not in a box.
  teamStatus_->setToolTip(state.problem);
  teamStatus_->setStyleSheet(state.reach == TTeamState::Reach::Reachable || !state.joined
                                 ? QString()
                                 : QStringLiteral("color: #b00000"));
  teamSync_->setEnabled(state.joined && !state.syncing);
  siteLog_->setEnabled(shownSite_.has_value() && state.joined);
}

bool TSitesDialog::PageEdited() const {
  if (!shownSite_) return false;
  return S(name_->text()) != shownSite_->name || S(customer_->text()) != shownSite_->customer ||
         S(address_->text()) != shownSite_->address || S(phones_->text()) != shownSite_->phones ||
         notes_->toPlainText().toStdString() != shownSite_->notes;
}

void TSitesDialog::TeamSynced(bool tookSomething) {
  if (tookSomething) RefreshKeepingEdits();
}

void TSitesDialog::RefreshKeepingEdits(std::optional<int64_t> savedSite) {
  if (!PageEdited()) {
    Refresh();
    return;
  }
  // The installer's typing stays; a save then asks about the other edit.
  const std::optional<int64_t> keep = shown_;
  const QString name = name_->text(), customer = customer_->text(), address = address_->text(),
                phones = phones_->text(), notes = notes_->toPlainText();
  const std::string changed = shownChanged_;
  const std::optional<sites::TSite> site = shownSite_;
  Refresh();
  if (shown_ != keep) return;
  name_->setText(name);
  customer_->setText(customer);
  address_->setText(address);
  phones_->setText(phones);
  notes_->setPlainText(notes);
  // Typed over the page's own late save: that save is what it edits now.
  if (savedSite == keep) return;
  shownChanged_ = changed;
  shownSite_ = site;
}

void TSitesDialog::ShowSiteLog() {
  if (!shownSite_ || !team_) return;
  TSiteLogDialog dialog(*team_, Q(shownSite_->uid), Q(shownSite_->name), this);
  dialog.exec();
}

}  // namespace zarvex
