#include "ui/tmain_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <ctime>

#include "report/panel_compare.h"
#include "settings/russian_plural.h"
#include "settings/settings_file_error.h"
#include "text/panel_text.h"
#include "ui/compare_dialog.h"
#include "settings/settings_format.h"
#include "sites/database_path.h"
#include "sites/history_import.h"
#include "sites/rolling_backups.h"
#include "sites/utc_time.h"
#include "ui/filing_prompt.h"
#include "ui/history_dialog.h"
#include "ui/report_dialog.h"
#include "ui/sites_dialog.h"
#include "ui/team_worker.h"
#include "ui/tform1.h"

namespace zarvex {

namespace {
// The user's preferences, under the program's own name (the registry on
// Windows, ~/.config on Linux).
QSettings Preferences() {
  return QSettings(QStringLiteral("Zarvex Settings"), QCoreApplication::applicationName());
}
}  // namespace

TMainWindow::TMainWindow(TForm1& form, QString historyDirectory) : form_(form) {
  setWindowTitle(form_.windowTitle());
  setWindowIcon(form_.windowIcon());
  setFont(form_.font());
  // The database where zarvex-cli looks for it (on Windows the local, not
  // the roaming, AppData); one beside a history folder given.
  QString sitesPath;
  if (historyDirectory.isEmpty()) {
    historyDirectory =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/history");
    sitesPath = QString::fromStdString(sites::DefaultDatabasePath());
  } else {
    sitesPath = QDir::cleanPath(historyDirectory + QStringLiteral("/../sites.db"));
  }
  history_ = std::make_unique<report::ConfigHistory>(historyDirectory.toStdString());
  started_ = std::time(nullptr);
  sitesRetry_.setSingleShot(true);
  sitesRetry_.setInterval(1000);
  connect(&sitesRetry_, &QTimer::timeout, this, &TMainWindow::RetrySites);
  OpenSites(sitesPath);
  setCentralWidget(&form_);  // resets the form's own window flags: it is the client area now
  BuildMenus();
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(769, 648 + menuBar()->sizeHint().height());
  // Some systems lay the menu bar out a pixel off its hint once shown.
  menuBar()->installEventFilter(this);
  move(199, 119);

  connect(&form_, &TForm1::ConfigurationRead, this, [this] {
    lastRead_ = form_.Cfg();
    StoreSnapshot(report::Snapshot::Kind::Read, form_.Cfg());
    FileInSites(verify_ == Verify::Reading ? "verify" : "read", form_.Cfg());
    if (verify_ == Verify::Reading) VerifyRead();
  });
  connect(&form_, &TForm1::WriteClicked, this, [this] {
    StoreSnapshot(report::Snapshot::Kind::Write, form_.Cfg());
    // Filed once the write ends, as what happened: written, or cut.
    pendingWrite_ = std::make_pair(form_.Cfg(), currentSite_);
    // Off by default: a write's bytes and what follows stay as designed.
    verify_ = verifyAction_->isChecked() ? Verify::AwaitingWrite : Verify::Off;
    written_ = form_.Cfg();
    form_.SetReadCaption({});
  });
  connect(&form_, &TForm1::TransferTextChanged, this, &TMainWindow::TransferTextChanged);
  // Another panel may be plugged next: what follows is no longer this site's.
  connect(&form_, &TForm1::PanelConnectionChanged, this, [this](bool connected) {
    if (connected) return;
    currentSite_.reset();
    unfiledSinceRead_.clear();
  });
}

TMainWindow::~TMainWindow() {
  // The form belongs to whoever made it, not to this window.
  takeCentralWidget();
}

QAction* TMainWindow::ButtonAction(const QString& text, const char* buttonName,
                                   void (TForm1::*handler)(), const QKeySequence& shortcut) {
  auto* action = new QAction(text, this);
  action->setObjectName(QStringLiteral("Action") + QString::fromLatin1(buttonName));
  action->setShortcut(shortcut);
  connect(action, &QAction::triggered, &form_, handler);
  if (auto* button = form_.findChild<QPushButton*>(QString::fromLatin1(buttonName))) {
    action->setEnabled(button->isEnabled());
    button->installEventFilter(this);
    mirrored_.emplace_back(button, action);
  }
  return action;
}

bool TMainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == menuBar() && event->type() == QEvent::Resize) {
    setFixedSize(769, 648 + menuBar()->height());
  }
  if (event->type() == QEvent::EnabledChange) {
    for (auto& [button, action] : mirrored_) {
      if (button == watched) action->setEnabled(button->isEnabled());
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TMainWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&Файл"));
  file->addAction(ButtonAction(QStringLiteral("Загрузить конфигурацию…"), "ButtonLoad",
                               &TForm1::ButtonLoadClick, QKeySequence::Open));
  file->addAction(ButtonAction(QStringLiteral("Сохранить конфигурацию"), "Button3",
                               &TForm1::Button3Click, QKeySequence::Save));
  QAction* saveAs = file->addAction(QStringLiteral("Сохранить как…"), &form_, &TForm1::SaveAsClick);
  saveAs->setObjectName(QStringLiteral("ActionSaveAs"));
  saveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  QAction* factory = file->addAction(QStringLiteral("Новая конфигурация (заводские значения)"),
                                     this, &TMainWindow::FactoryValues);
  factory->setObjectName(QStringLiteral("ActionFactory"));
  factory->setShortcut(QKeySequence::New);
  file->addSeparator();
  QAction* report = file->addAction(QStringLiteral("Отчёт о конфигурации (PDF)…"), this,
                                    &TMainWindow::ShowReport);
  report->setObjectName(QStringLiteral("ActionReport"));
  report->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  QAction* print = file->addAction(QStringLiteral("Печать…"), this, &TMainWindow::ShowReport);
  print->setObjectName(QStringLiteral("ActionPrint"));
  print->setShortcut(QKeySequence::Print);
  file->addSeparator();
  // Where the copy kept between runs lives; it may not be the folder the
  // program was started in.
  const QString working = QDir::toNativeSeparators(QDir::current().absoluteFilePath(QStringLiteral("zarvex.cfg")));
  QAction* workingFile = file->addAction(QStringLiteral("Рабочий файл: ") + working, this, [] {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::currentPath()));
  });
  workingFile->setObjectName(QStringLiteral("ActionWorkingFile"));
  workingFile->setToolTip(QStringLiteral("Открыть папку рабочего файла"));
  file->addSeparator();
  QAction* quit = file->addAction(QStringLiteral("Выход"), this, &QWidget::close);
  quit->setObjectName(QStringLiteral("ActionQuit"));
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

  QMenu* panel = menuBar()->addMenu(QStringLiteral("&Панель"));
  panel->addAction(ButtonAction(QStringLiteral("Прочитать конфигурацию"), "ButtonRead",
                                &TForm1::ButtonReadClick, QKeySequence(Qt::Key_F5)));
  panel->addAction(ButtonAction(QStringLiteral("Записать конфигурацию"), "ButtonWrite",
                                &TForm1::ButtonWriteClick, QKeySequence(Qt::Key_F6)));
  panel->addSeparator();
  QAction* compare = panel->addAction(QStringLiteral("Сравнить…"), this, &TMainWindow::ShowCompare);
  compare->setObjectName(QStringLiteral("ActionCompare"));
  compare->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));

  panel->addSeparator();
  verifyAction_ = panel->addAction(QStringLiteral("Проверять после записи"));
  verifyAction_->setObjectName(QStringLiteral("ActionVerifyAfterWrite"));
  verifyAction_->setCheckable(true);
  verifyAction_->setChecked(Preferences().value(QStringLiteral("verifyAfterWrite"), false).toBool());
  connect(verifyAction_, &QAction::toggled, this,
          [](bool on) { Preferences().setValue(QStringLiteral("verifyAfterWrite"), on); });

  QMenu* history = menuBar()->addMenu(QStringLiteral("&История"));
  QAction* list = history->addAction(QStringLiteral("История конфигураций…"), this, &TMainWindow::ShowHistory);
  list->setObjectName(QStringLiteral("ActionHistory"));
  list->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
  // Ctrl+O stays with loading a configuration, as everywhere.
  QAction* sitesAction = history->addAction(QStringLiteral("Объекты…"), this, &TMainWindow::ShowSites);
  sitesAction->setObjectName(QStringLiteral("ActionSites"));
  sitesAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Справка"));
  // The menu takes over the form's own shortcut for the log; two would
  // cancel each other out.
  for (QShortcut* own : form_.findChildren<QShortcut*>()) {
    if (own->key() == QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L)) own->setEnabled(false);
  }
  QAction* log = help->addAction(QStringLiteral("Журнал обмена с панелью"), &form_, &TForm1::ToggleLog);
  log->setObjectName(QStringLiteral("ActionLog"));
  log->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
  QAction* about = help->addAction(QStringLiteral("О программе"), this, &TMainWindow::About);
  about->setObjectName(QStringLiteral("ActionAbout"));
}

QAction* TMainWindow::Action(const QString& objectName) const {
  return findChild<QAction*>(objectName);
}

void TMainWindow::StoreSnapshot(report::Snapshot::Kind kind, const TCFG& cfg) {
  QString failure;
  // Runs inside slots of the transfer: nothing may escape into the event loop.
  try {
    history_->Store(kind, cfg, std::time(nullptr));
  } catch (const std::exception& error) {
    failure = QString::fromStdString(error.what());
  }
  if (!failure.isEmpty()) {
    // Told, but the transfer goes on: a missing backup is no reason to stop.
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                QStringLiteral("Не удалось сохранить снимок конфигурации в истории: ") +
                                    failure,
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("HistoryFailure"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
  }
}

void TMainWindow::TransferTextChanged(const QString& text) {
  if (pendingWrite_) {
    const char* kind = nullptr;
    if (text == QStringLiteral("Конфигурация записана")) {
      kind = "written";
    } else if (text.startsWith(QStringLiteral("Запись прервана")) ||
               text.startsWith(QStringLiteral("Панель не отвечает"))) {
      kind = "written-cut";
    }
    if (kind) {
      const auto [cfg, site] = *pendingWrite_;
      pendingWrite_.reset();
      FileInSites(kind, cfg, site);
    }
  }
  if (verify_ == Verify::AwaitingWrite) {
    if (text == QStringLiteral("Конфигурация записана")) {
      verify_ = Verify::Reading;
      form_.SetReadCaption(QStringLiteral("Проверка"));
      form_.ButtonReadClick();
    } else if (text.startsWith(QStringLiteral("Запись прервана"))) {
      verify_ = Verify::Off;  // nothing whole to verify
    }
  } else if (verify_ == Verify::Reading && (text.startsWith(QStringLiteral("Чтение прервано")) ||
                                            text.startsWith(QStringLiteral("Панель не отвечает")))) {
    verify_ = Verify::Off;
    form_.SetReadCaption({});
  }
}

void TMainWindow::VerifyRead() {
  verify_ = Verify::Off;
  form_.SetReadCaption({});
  const TCFG read = form_.Cfg();
  const report::Comparison c = report::CompareWithPanel(read, written_, read.FirmwareVersion,
                                                        [](const Text& t) {
                                                          return FromPanelText(t).toStdString();
                                                        }).comparison;
  lastVerify_ = std::make_pair(written_, read);
  if (c.parametersDiffering == 0) {
    form_.ShowTransferResult(QStringLiteral("Конфигурация записана и проверена"), false);
    return;
  }
  const QString text =
      QStringLiteral("Проверка: панель хранит не то, что записано (%1)")
          .arg(QString::fromStdString(Counted(c.parametersDiffering, "параметр", "параметра", "параметров")));
  form_.ShowTransferResult(text, true);
  // One click away: the compare of what was written with what was read.
  auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Close, this);
  box->setObjectName(QStringLiteral("VerifyMismatch"));
  QPushButton* compare = box->addButton(QStringLiteral("Сравнить…"), QMessageBox::ActionRole);
  connect(compare, &QPushButton::clicked, this, [this] {
    TCompareDialog dialog(*this);
    dialog.CompareWrittenWithRead(lastVerify_->first, lastVerify_->second);
    dialog.exec();
  });
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
}

void TMainWindow::FactoryValues() {
  // The design-time values, as a first start collects them.
  TForm1 pristine;
  pristine.CollectSettings();
  const TCFG shown = form_.CollectedCopy();
  // The panel's identity is no value the installer set.
  TCFG same = pristine.Cfg();
  same.FirmwareVersion = shown.FirmwareVersion;
  same.DeviceType = shown.DeviceType;
  if (shown != same) {
    if (!form_.Modal().AskYesNo(this, QStringLiteral("Заменить значения в окне заводскими?"))) return;
    // What is replaced stays in the history, to be loaded back.
    StoreSnapshot(report::Snapshot::Kind::Reset, shown);
    FileInSites("reset", shown);
  }
  form_.ApplyRecord(pristine.Cfg());
}

void TMainWindow::OpenSites(const QString& path) {
  sitesPath_ = path;
  sitesBackup_.clear();
  sitesWaiting_ = false;
  sites::TStoreOptions options;
  // Short enough not to be seen; a longer hold is waited out by the timer.
  options.busyWait = std::chrono::milliseconds(100);
  try {
    sites_ = std::make_unique<sites::TSiteStore>(path.toStdString(), options);
    // What this run saved meanwhile is filed on its own.
    sites::ImportHistoryOnce(*sites_, *history_, nullptr, started_);
    StartTeam();
  } catch (const sites::SitesBusy& e) {
    sites_.reset();
    sitesWaiting_ = true;
    sitesProblem_ = QString::fromStdString(e.what());
    sitesRetry_.start();
  } catch (const sites::SitesDamaged& e) {
    DropDamagedSites(QString::fromStdString(e.what()), e.Backup());
  } catch (const std::exception& e) {
    // The program goes on without sites; «Объекты» says why.
    sites_.reset();
    sitesProblem_ = QString::fromStdString(e.what());
  }
}

void TMainWindow::StartTeam() {
  if (team_) return;
  // Its own thread and database connection: the start never waits on the
  // network, whatever the server does.
  team_ = std::make_unique<TTeamWorker>(sitesPath_);
  team_->Sync();
  teamTimer_.setInterval(std::chrono::duration_cast<std::chrono::milliseconds>(kTeamSyncEvery));
  connect(&teamTimer_, &QTimer::timeout, team_.get(), &TTeamWorker::Sync, Qt::UniqueConnection);
  teamTimer_.start();
}

void TMainWindow::DropDamagedSites(const QString& problem, const std::string& backup) {
  // The prompt holds the store: it goes first.
  if (filingPrompt_) delete filingPrompt_.data();
  // Its own connection would keep the damaged file's journal open.
  teamTimer_.stop();
  team_.reset();
  sites_.reset();
  sitesProblem_ = problem;
  sitesBackup_ = QString::fromStdString(backup.empty() ? sites::NewestHealthyBackup(sitesPath_.toStdString()) : backup);
}

void TMainWindow::FileInSites(const char* kind, const TCFG& cfg) { FileInSites(kind, cfg, currentSite_); }

void TMainWindow::FileInSites(const char* kind, const TCFG& cfg, std::optional<int64_t> site) {
  if (!sites_ && !sitesWaiting_) return;
  if (sites_ && sites_->ReadOnly()) return;
  if (std::string(kind) == "read") {
    // A read starts over: what follows it goes where it goes.
    currentSite_.reset();
    unfiledSinceRead_.clear();
  }
  TQueuedFiling filing{kind, cfg, site, sites::NowUtc()};
  if (!queuedFilings_.empty() || !sites_ || !FileNow(filing)) {
    queuedFilings_.push_back(std::move(filing));
    sitesRetry_.start();
  }
}

void TMainWindow::RetrySites() {
  if (!sites_ && sitesWaiting_) OpenSites(sitesPath_);
  if (!sites_) return;
  while (!queuedFilings_.empty()) {
    if (!FileNow(queuedFilings_.front())) {
      sitesRetry_.start();
      return;
    }
    queuedFilings_.pop_front();
  }
}

bool TMainWindow::FileNow(const TQueuedFiling& filing) {
  if (!sites_ || sites_->ReadOnly()) return true;  // nothing to file into
  const bool read = filing.kind == "read";
  const TCFG& cfg = filing.cfg;
  sites::TSnapshotRecord filed;
  std::optional<sites::TSite> proposed;
  const sites::TPanelIdentity identity = sites::IdentityOf(cfg);
  // Inside the transfer's slots: a database failure is told, never thrown on.
  try {
    filed = sites_->FileSnapshot(FormatSettings(cfg), filing.kind, read ? std::nullopt : filing.site, filing.taken);
    if (team_) team_->RefreshState();  // one more waits to go
    if (!read) {
      // Made while the filing prompt is open: it goes where the read goes.
      if (!filing.site) unfiledSinceRead_.push_back(filed.id);
      return true;
    }
    // Until the installer has made a site, filing asks nothing.
    if (sites_->Sites().empty()) return true;
    proposed = sites_->Match(identity);
  } catch (const sites::SitesBusy&) {
    return false;
  } catch (const std::exception& e) {
    QString text = QStringLiteral("Не удалось записать снимок в базу объектов: ") + QString::fromStdString(e.what());
    if (const auto* damaged = dynamic_cast<const sites::SitesDamaged*>(&e)) {
      DropDamagedSites(QString::fromStdString(damaged->what()), damaged->Backup());
      if (!sitesBackup_.isEmpty()) text += QStringLiteral("\n\n«Объекты» предложит восстановить её последнюю целую копию.");
    }
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), text,
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("SitesFailure"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    return true;
  }
  const std::string key = identity.panelId + "|" + identity.serverPhone + "|" + identity.checkPhone;
  if (!proposed && !askedUnmatched_.insert(key).second) return true;
  if (filingPrompt_) filingPrompt_->close();
  auto* prompt = new TFilingPrompt(this, *sites_, filed, identity, proposed);
  connect(prompt, &TFilingPrompt::Filed, this, [this](int64_t siteId) {
    currentSite_ = siteId;
    try {
      for (int64_t id : unfiledSinceRead_) sites_->Refile(id, siteId);
    } catch (const std::exception&) {
      // They stay unfiled, to be filed from «Объекты».
    }
    unfiledSinceRead_.clear();
  });
  filingPrompt_ = prompt;
  prompt->show();
  return true;
}

bool TMainWindow::OfferSitesBackup() {
  if (sites_ || sitesBackup_.isEmpty()) return false;
  const QString question =
      sitesProblem_ + QStringLiteral("\n\nВосстановить базу объектов из последней целой копии (%1)? "
                                     "Повреждённый файл останется рядом под другим именем.")
                          .arg(QDir::toNativeSeparators(sitesBackup_));
  if (!form_.Modal().AskYesNo(this, question)) return false;
  try {
    sites::RestoreFromBackup(sitesPath_.toStdString(), sitesBackup_.toStdString());
  } catch (const std::exception& e) {
    form_.Modal().ShowMessage(this, QString::fromStdString(e.what()));
    return false;
  }
  OpenSites(sitesPath_);
  return sites_ != nullptr;
}

void TMainWindow::ShowSites() {
  if (!sites_ && !sitesBackup_.isEmpty()) OfferSitesBackup();
  if (!sites_) {
    QMessageBox::warning(this, QStringLiteral("Объекты"), sitesProblem_);
    return;
  }
  TSitesDialog dialog(*this, *sites_);
  dialog.exec();
}

void TMainWindow::ShowHistory() {
  THistoryDialog dialog(*this);
  dialog.exec();
}

void TMainWindow::ShowCompare() {
  TCompareDialog dialog(*this);
  dialog.exec();
}

void TMainWindow::ShowReport() {
  TReportDialog dialog(*this);
  dialog.exec();
}

void TMainWindow::About() {
  QMessageBox::about(
      this, QStringLiteral("О программе"),
      QStringLiteral("<b>Zarvex Settings %1</b><br>Настройка охранных панелей Zarvex GSM по USB.<br><br>"
                     "Лицензия: © Zarvex Settings developers; распространяется вместе с панелями Zarvex.<br><br>"
                     "История конфигураций хранится в папке:<br>%2")
          .arg(QApplication::applicationVersion().isEmpty() ? QStringLiteral("3.0.8")
                                                            : QApplication::applicationVersion(),
               QString::fromStdString(history_->Directory()).toHtmlEscaped()));
}

void TMainWindow::closeEvent(QCloseEvent* event) {
  if (form_.FormClose()) {
    event->accept();
    teamTimer_.stop();
    if (team_) team_->Finish(kTeamCloseLimit);
  } else {
    event->ignore();
  }
}

}  // namespace zarvex
