#pragma once

#include <QDialog>

#include "sites/site_store.h"

class QComboBox;
class QLabel;

namespace zarvex {

// After a completed read: which site the snapshot belongs to. The site
// whose panel matches is proposed; the installer confirms it, picks
// another or makes a new one. Never modal: a write goes on meanwhile. The
// snapshot is in the database already, unfiled, whatever is chosen here.
class TFilingPrompt : public QDialog {
  Q_OBJECT

 public:
  TFilingPrompt(QWidget* parent, sites::TSiteStore& store, const sites::TSnapshotRecord& snapshot,
                const sites::TPanelIdentity& identity, std::optional<sites::TSite> proposed);
  QComboBox* Choice() const { return choice_; }

 signals:
  // The snapshot was filed under this site.
  void Filed(int64_t siteId);

 public slots:
  void FileUnderChosen();
  void NewSite();

 private:
  sites::TSiteStore& store_;
  sites::TSnapshotRecord snapshot_;
  QComboBox* choice_ = nullptr;
};

// How a panel is named to the installer: "ID 654321", else its phones.
QString PanelWords(const sites::TPanelIdentity& identity);

}  // namespace zarvex
