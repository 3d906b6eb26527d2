#include "ui/team_join_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/team_worker.h"

namespace zarvex {

namespace {

QLineEdit* Edit(const char* name, const QString& text) {
  auto* edit = new QLineEdit(text);
  edit->setObjectName(QString::fromLatin1(name));
  return edit;
}

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

TTeamJoinDialog::TTeamJoinDialog(TTeamWorker& worker, QWidget* parent) : QDialog(parent), worker_(worker) {
  setObjectName(QStringLiteral("TeamJoinDialog"));
  setWindowTitle(QStringLiteral("Подключиться к серверу компании"));
  const team::TServerAddress& was = worker.State().address;
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(QStringLiteral(
      "Адрес, база и пользователь — от администратора компании. Пароль спрашивается один раз и хранится там, "
      "где его ищет клиент PostgreSQL, а не в настройках программы."));
  intro->setWordWrap(true);
  layout->addWidget(intro);
  auto* form = new QFormLayout;
  host_ = Edit("EditTeamHost", Q(was.host));
  host_->setPlaceholderText(QStringLiteral("sites.example.ru"));
  port_ = Edit("EditTeamPort", Q(was.port.empty() ? "5432" : was.port));
  port_->setValidator(new QIntValidator(1, 65535, port_));
  database_ = Edit("EditTeamDatabase", Q(was.database));
  user_ = Edit("EditTeamUser", Q(was.user));
  ca_ = Edit("EditTeamCa", Q(was.caFile));
  auto* browse = new QPushButton(QStringLiteral("Выбрать…"));
  browse->setObjectName(QStringLiteral("ButtonTeamCaBrowse"));
  auto* caRow = new QHBoxLayout;
  caRow->addWidget(ca_, 1);
  caRow->addWidget(browse);
  password_ = Edit("EditTeamPassword", QString());
  password_->setEchoMode(QLineEdit::Password);
  password_->setPlaceholderText(QStringLiteral("пусто: уже сохранён или сертификат"));
  form->addRow(QStringLiteral("Сервер:"), host_);
  form->addRow(QStringLiteral("Порт:"), port_);
  form->addRow(QStringLiteral("База:"), database_);
  form->addRow(QStringLiteral("Пользователь:"), user_);
  form->addRow(QStringLiteral("Сертификат компании:"), caRow);
  form->addRow(QStringLiteral("Пароль:"), password_);
  layout->addLayout(form);
  told_ = new QLabel;
  told_->setObjectName(QStringLiteral("LabelTeamJoinProblem"));
  told_->setWordWrap(true);
  told_->setStyleSheet(QStringLiteral("color: #b00000"));
  layout->addWidget(told_);
  auto* buttons = new QDialogButtonBox;
  connect_ = buttons->addButton(QStringLiteral("Подключиться"), QDialogButtonBox::AcceptRole);
  connect_->setObjectName(QStringLiteral("ButtonTeamConnect"));
  auto* cancel = buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("ButtonTeamJoinCancel"));
  layout->addWidget(buttons);
  resize(520, sizeHint().height());

  connect(browse, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Сертификат компании"), ca_->text(),
                                                      QStringLiteral("Сертификаты (*.crt *.pem *.cer);;Все файлы (*)"));
    if (!file.isEmpty()) ca_->setText(file);
  });
  connect(connect_, &QPushButton::clicked, this, &TTeamJoinDialog::Connect);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(&worker_, &TTeamWorker::JoinEnded, this, &TTeamJoinDialog::Ended);
}

void TTeamJoinDialog::Connect() {
  team::TServerAddress a;
  a.host = host_->text().trimmed().toStdString();
  a.port = port_->text().trimmed().toStdString();
  a.database = database_->text().trimmed().toStdString();
  a.user = user_->text().trimmed().toStdString();
  a.caFile = ca_->text().trimmed().toStdString();
  if (a.host.empty() || a.port.empty() || a.database.empty() || a.user.empty()) {
    told_->setText(QStringLiteral("Нужны сервер, порт, база и пользователь."));
    return;
  }
  if (a.caFile.empty()) {
    told_->setText(QStringLiteral("Нужен сертификат компании: без него сервер нельзя проверить."));
    return;
  }
  told_->setStyleSheet(QString());
  told_->setText(QStringLiteral("Подключение…"));
  connect_->setEnabled(false);
  worker_.Join(a, password_->text());
  password_->clear();
}

void TTeamJoinDialog::Ended(bool ok, const QString& text) {
  connect_->setEnabled(true);
  if (ok) {
    accept();
    return;
  }
  told_->setStyleSheet(QStringLiteral("color: #b00000"));
  told_->setText(text);
}

}  // namespace zarvex
