#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zarvex {

class TTeamWorker;

// «Подключиться к серверу компании…»: the server, its database, the
// technician's login and the company's certificate; the password is asked
// here once and kept where libpq keeps it, never with the settings.
class TTeamJoinDialog : public QDialog {
  Q_OBJECT

 public:
  TTeamJoinDialog(TTeamWorker& worker, QWidget* parent);

 private:
  void Connect();
  void Ended(bool ok, const QString& text);

  TTeamWorker& worker_;
  QLineEdit* host_ = nullptr;
  QLineEdit* port_ = nullptr;
  QLineEdit* database_ = nullptr;
  QLineEdit* user_ = nullptr;
  QLineEdit* ca_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLabel* told_ = nullptr;
  QPushButton* connect_ = nullptr;
};

}  // namespace zarvex
