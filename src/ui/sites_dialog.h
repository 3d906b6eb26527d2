#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

#include "sites/site_store.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QVBoxLayout;

namespace zarvex {

class TMainWindow;
class TTeamWorker;

// «Объекты»: the installer's sites, searched as they type; a site's page
// with its fields, its panels and its snapshots newest first, each to load
// into the window, compare with it, or print. "Без объекта" holds the
// snapshots not filed yet.
class TSitesDialog : public QDialog {
  Q_OBJECT

 public:
  TSitesDialog(TMainWindow& main, sites::TSiteStore& store);
  QLineEdit* Search() const { return search_; }
  // Sites come in pages of kSitePage as the list is scrolled down.
  static constexpr int kSitePage = 200;
  QListWidget* SiteList() const { return list_; }
  QTableWidget* SnapshotTable() const { return snapshots_; }
  QTableWidget* PanelTable() const { return panels_; }
  // The site on the page; none for the unfiled snapshots.
  std::optional<int64_t> Shown() const { return shown_; }
  // A save that met another program's write, to be tried again.
  bool SaveWaiting() const { return pendingSave_.has_value(); }

 public slots:
  void Refresh();
  void ShowSelected();
  void NewSite();
  void SaveSite();
  void LoadSnapshot();
  void CompareSnapshot();
  void PrintSnapshot();
  void FileSnapshotUnder();
  void ShowSiteLog();
  // A save still waiting is tried once more; if it still cannot be made,
  // the installer chooses between waiting and leaving it unsaved.
  void done(int result) override;

 private:
  void ShowSite(std::optional<int64_t> siteId);
  std::optional<sites::TSnapshotRecord> SelectedSnapshot();
  bool Try(const std::function<void()>& action);
  // A read that meets another program's write is tried again shortly,
  // told on the page instead of in a box.
  bool TryRead(const std::function<void()>& action);
  bool SaveNow(sites::TSite site);
  void WaitForDatabase();
  void RetryBusy();
  // The list and the page again; what the installer is typing stays.
  // `savedSite` is a site this page has just saved late.
  void RefreshKeepingEdits(std::optional<int64_t> savedSite = std::nullopt);
  void ShowConflicts(const std::vector<sites::TSiteConflict>& conflicts);
  // The next page of the search's sites, as the list scrolls to its end.
  bool FetchMore();
  // The team server's line; a sync that brought something refreshes the
  // list, and the page unless the installer is editing it.
  void ShowTeamState();
  void TeamSynced(bool tookSomething);
  bool PageEdited() const;

  TMainWindow& main_;
  sites::TSiteStore& store_;
  std::optional<int64_t> shown_;
  std::string shownChanged_;
  std::optional<sites::TSite> shownSite_;
  TTeamWorker* team_ = nullptr;  // none: the program runs without it
  QLabel* teamStatus_ = nullptr;
  QPushButton* teamSync_ = nullptr;
  QPushButton* siteLog_ = nullptr;
  std::vector<sites::TSnapshotRecord> shownSnapshots_;
  int fetched_ = 0;     // sites of the search in the list so far
  bool more_ = false;   // and whether more may follow
  QLineEdit* search_ = nullptr;
  QListWidget* list_ = nullptr;
  QLineEdit* name_ = nullptr;
  QLineEdit* customer_ = nullptr;
  QLineEdit* address_ = nullptr;
  QLineEdit* phones_ = nullptr;
  QPlainTextEdit* notes_ = nullptr;
  QLabel* changed_ = nullptr;
  QLabel* conflicts_ = nullptr;
  QVBoxLayout* conflictRows_ = nullptr;
  QPushButton* save_ = nullptr;
  QLabel* busy_ = nullptr;
  QTimer busyRetry_;
  std::optional<sites::TSite> pendingSave_;
  bool listWaiting_ = false;
  QTableWidget* panels_ = nullptr;
  QTableWidget* snapshots_ = nullptr;
};

// A site as a list to choose from names it: name, customer, address, short id.
QString SiteChoiceText(const sites::TSite& site);

}  // namespace zarvex
