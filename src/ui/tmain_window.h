#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <ctime>
#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "report/config_history.h"
#include "settings/tcfg.h"
#include "sites/site_store.h"

class QAction;
class QPushButton;

namespace zarvex {

class TForm1;
class ModalUi;
class TTeamWorker;

// The program's top-level window: a menu bar over TForm1, which stays the
// client area exactly as designed (769 x 648). It keeps the configuration
// history (a snapshot after every completed read and at every write click)
// and opens the history, comparison and report dialogs.
class TMainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // `historyDirectory` empty: the user's data directory, folder "history".
  explicit TMainWindow(TForm1& form, QString historyDirectory = {});
  ~TMainWindow() override;

  TForm1& Form() { return form_; }
  report::ConfigHistory& History() { return *history_; }
  // The panel's configuration as the last completed read left it.
  const std::optional<TCFG>& LastRead() const { return lastRead_; }
  // A menu entry by object name ("ActionButtonRead", "ActionCompare"...);
  // null when there is none.
  QAction* Action(const QString& objectName) const;
  // The last verify's finding: what was written and what the panel held.
  const std::optional<std::pair<TCFG, TCFG>>& LastVerify() const { return lastVerify_; }
  // The site database; null when its file could not be used, and then why.
  sites::TSiteStore* Sites() const { return sites_.get(); }
  const QString& SitesProblem() const { return sitesProblem_; }
  // Filings waiting for another program to let go of the database.
  size_t QueuedFilings() const { return queuedFilings_.size(); }
  // A damaged database: asks to put its newest healthy copy back, and
  // opens it when the installer agrees. False when nothing was restored.
  bool OfferSitesBackup();
  // The company's server, once the site database is open; null before.
  TTeamWorker* Team() const { return team_.get(); }
  // How often the window syncs on its own while it is open.
  static constexpr std::chrono::minutes kTeamSyncEvery{5};
  // The longest the close waits for a last sync of what waits to go.
  static constexpr std::chrono::seconds kTeamCloseLimit{3};
  // The site the last read was filed under, this run.
  std::optional<int64_t> CurrentSite() const { return currentSite_; }

 public slots:
  void ShowHistory();
  void ShowSites();
  void ShowCompare();
  void ShowReport();
  void FactoryValues();
  void About();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  // A menu entry that stands for a button: the button's handler, enabled
  // exactly when the button is.
  QAction* ButtonAction(const QString& text, const char* buttonName, void (TForm1::*handler)(),
                        const QKeySequence& shortcut);
  void StoreSnapshot(report::Snapshot::Kind kind, const TCFG& cfg);
  void OpenSites(const QString& path);
  // The database turned out damaged: the program goes on without it, and
  // «Объекты» offers its newest healthy copy.
  void DropDamagedSites(const QString& problem, const std::string& backup);
  // The company's server's worker, with its periodic sync.
  void StartTeam();
  // Files the snapshot in the site database: a read unfiled, then proposed
  // for its site; what follows it (write, verify, reset) under the site the
  // read went to.
  void FileInSites(const char* kind, const TCFG& cfg);
  void FileInSites(const char* kind, const TCFG& cfg, std::optional<int64_t> site);
  // A filing as it happened, kept to be tried again while another program
  // holds the database: the window never waits on it.
  struct TQueuedFiling {
    std::string kind;
    TCFG cfg;
    std::optional<int64_t> site;
    std::string taken;
  };
  // False when the database was busy and the filing must wait its turn.
  bool FileNow(const TQueuedFiling& filing);
  void RetrySites();
  // Verify after write: the read that follows the 56th acknowledgement, and
  // what it found.
  void TransferTextChanged(const QString& text);
  void VerifyRead();

  TForm1& form_;
  std::unique_ptr<report::ConfigHistory> history_;
  std::optional<TCFG> lastRead_;
  enum class Verify { Off, AwaitingWrite, Reading };
  Verify verify_ = Verify::Off;
  TCFG written_;  // what the write being verified sent
  QAction* verifyAction_ = nullptr;
  std::vector<std::pair<QPushButton*, QAction*>> mirrored_;
  std::optional<std::pair<TCFG, TCFG>> lastVerify_;
  std::unique_ptr<sites::TSiteStore> sites_;
  QString sitesPath_;
  QString sitesProblem_;
  QString sitesBackup_;  // the newest healthy copy of a damaged database
  bool sitesWaiting_ = false;  // another program held it at the opening
  std::deque<TQueuedFiling> queuedFilings_;
  QTimer sitesRetry_;
  std::time_t started_ = 0;
  std::optional<int64_t> currentSite_;
  // A write clicked and not yet ended: what it sends, and the site then.
  std::optional<std::pair<TCFG, std::optional<int64_t>>> pendingWrite_;
  // Snapshots made after the last read while it was not filed yet.
  std::vector<int64_t> unfiledSinceRead_;
  std::set<std::string> askedUnmatched_;  // panels matching no site ask once a run
  QPointer<QDialog> filingPrompt_;
  std::unique_ptr<TTeamWorker> team_;
  QTimer teamTimer_;
};

}  // namespace zarvex
