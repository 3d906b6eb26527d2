#include "demo/simulator_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "demo/key_hex.h"
#include "demo/panel_texts.h"

namespace zarvex::demo {

namespace {

QPushButton* MakeButton(const QString& objectName, const QString& caption) {
  auto* button = new QPushButton(caption);
  button->setObjectName(objectName);
  return button;
}

QLabel* MakeLabel(const QString& objectName, const QString& caption = {}) {
  auto* label = new QLabel(caption);
  label->setObjectName(objectName);
  return label;
}

QTableWidget* MakeTable(const QString& objectName, const QStringList& titles) {
  auto* table = new QTableWidget(0, static_cast<int>(titles.size()));
  table->setObjectName(objectName);
  table->setHorizontalHeaderLabels(titles);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->verticalHeader()->setVisible(false);
  table->verticalHeader()->setDefaultSectionSize(22);
  table->horizontalHeader()->setStretchLastSection(true);
  return table;
}

void SetCell(QTableWidget* table, int row, int column, const QString& text) {
  auto* item = table->item(row, column);
  if (!item) {
    item = new QTableWidgetItem;
    table->setItem(row, column, item);
  }
  if (item->text() == text) return;
  item->setText(text);
  item->setToolTip(text);  // long texts (parameter 1 holds 44 characters) are cut in the cell
}

}  // namespace

SimulatorWindow::SimulatorWindow(sim::VirtualPanel& panel, QWidget* parent)
    : QWidget(parent), panel_(panel), random_(std::random_device{}()) {
  setObjectName(QStringLiteral("SimulatorWindow"));
  setWindowTitle(QStringLiteral("Симулятор панели"));
  BuildLayout();
  Connect();
  // The configurator changes the panel behind this window's back; looking
  // a few times a second is enough for a person to follow it.
  pollTimer_ = new QTimer(this);
  pollTimer_->setInterval(kPollMilliseconds);
  connect(pollTimer_, &QTimer::timeout, this, &SimulatorWindow::Poll);
  pollTimer_->start();
  Refresh();
}

void SimulatorWindow::BuildLayout() {
  buttonPlugFirst_ = MakeButton(QStringLiteral("ButtonPlugFirst"), QStringLiteral("Подключить v430 (первая модель)"));
  buttonPlugSecond_ = MakeButton(QStringLiteral("ButtonPlugSecond"), QStringLiteral("Подключить v520 (вторая модель)"));
  buttonUnplug_ = MakeButton(QStringLiteral("ButtonUnplug"), QStringLiteral("Отключить"));
  buttonReplug_ = MakeButton(QStringLiteral("ButtonReplug"), QStringLiteral("Подключить снова"));
  labelPanelState_ = MakeLabel(QStringLiteral("LabelPanelState"));
  labelPanelState_->setWordWrap(true);
  auto* groupPanel = new QGroupBox(QStringLiteral("Панель"));
  auto* panelGrid = new QGridLayout(groupPanel);
  panelGrid->addWidget(buttonPlugFirst_, 0, 0);
  panelGrid->addWidget(buttonPlugSecond_, 0, 1);
  panelGrid->addWidget(buttonUnplug_, 1, 0);
  panelGrid->addWidget(buttonReplug_, 1, 1);
  panelGrid->addWidget(labelPanelState_, 2, 0, 1, 2);

  labelKeyLearning_ = MakeLabel(QStringLiteral("LabelKeyLearning"));
  editKey_ = new QLineEdit;
  editKey_->setObjectName(QStringLiteral("EditKey"));
  editKey_->setPlaceholderText(QStringLiteral("01-23-45-67-89-AB-CD-EF"));
  editKey_->setMaxLength(32);
  buttonPresentRandomKey_ = MakeButton(QStringLiteral("ButtonPresentRandomKey"), QStringLiteral("Приложить новый ключ"));
  buttonPresentKey_ = MakeButton(QStringLiteral("ButtonPresentKey"), QStringLiteral("Приложить введённый ключ"));
  buttonPresentSameKey_ = MakeButton(QStringLiteral("ButtonPresentSameKey"), QStringLiteral("Приложить тот же ключ ещё раз"));
  auto* groupKeys = new QGroupBox(QStringLiteral("Считыватель ключей (первая модель)"));
  auto* keysGrid = new QGridLayout(groupKeys);
  keysGrid->addWidget(labelKeyLearning_, 0, 0, 1, 2);
  keysGrid->addWidget(new QLabel(QStringLiteral("Ключ (hex):")), 1, 0);
  keysGrid->addWidget(editKey_, 1, 1);
  keysGrid->addWidget(buttonPresentRandomKey_, 2, 0);
  keysGrid->addWidget(buttonPresentKey_, 2, 1);
  keysGrid->addWidget(buttonPresentSameKey_, 3, 0, 1, 2);

  labelPendingPairing_ = MakeLabel(QStringLiteral("LabelPendingPairing"));
  buttonAnswerPairing_ = MakeButton(QStringLiteral("ButtonAnswerPairing"), QStringLiteral("Ответить на сопряжение"));
  auto* groupPairing = new QGroupBox(QStringLiteral("Сопряжение (вторая модель)"));
  auto* pairingBox = new QVBoxLayout(groupPairing);
  pairingBox->addWidget(labelPendingPairing_);
  pairingBox->addWidget(buttonAnswerPairing_);

  buttonDropNextAnswer_ = MakeButton(QStringLiteral("ButtonDropNextAnswer"), QStringLiteral("Пропустить следующий ответ"));
  buttonHoldNextAnswer_ = MakeButton(QStringLiteral("ButtonHoldNextAnswer"), QStringLiteral("Задержать следующий ответ"));
  buttonReleaseHeld_ = MakeButton(QStringLiteral("ButtonReleaseHeld"), QStringLiteral("Отправить задержанные"));
  buttonUnplugOnNextRequest_ =
      MakeButton(QStringLiteral("ButtonUnplugOnNextRequest"), QStringLiteral("Отключить при следующем запросе"));
  auto* groupFaults = new QGroupBox(QStringLiteral("Сбои"));
  auto* faultsGrid = new QGridLayout(groupFaults);
  faultsGrid->addWidget(buttonDropNextAnswer_, 0, 0);
  faultsGrid->addWidget(buttonUnplugOnNextRequest_, 0, 1);
  faultsGrid->addWidget(buttonHoldNextAnswer_, 1, 0);
  faultsGrid->addWidget(buttonReleaseHeld_, 1, 1);

  labelLastAction_ = MakeLabel(QStringLiteral("LabelLastAction"));
  labelLastAction_->setWordWrap(true);

  auto* left = new QVBoxLayout;
  left->addWidget(groupPanel);
  left->addWidget(groupKeys);
  left->addWidget(groupPairing);
  left->addWidget(groupFaults);
  left->addWidget(labelLastAction_);
  left->addStretch(1);

  parameterTable_ = MakeTable(QStringLiteral("ParameterTable"),
                              {QStringLiteral("№"), QStringLiteral("Поле"), QStringLiteral("Значение")});
  parameterTable_->setRowCount(sim::kParameterCount);
  parameterTable_->setColumnWidth(0, 36);
  parameterTable_->setColumnWidth(1, 150);
  for (int p = 1; p <= sim::kParameterCount; ++p) {
    SetCell(parameterTable_, p - 1, 0, QString::number(p));
    SetCell(parameterTable_, p - 1, 1, ParameterField(p));
  }
  keyTable_ = MakeTable(QStringLiteral("KeyTable"), {QStringLiteral("№"), QStringLiteral("Ключ (hex)")});
  keyTable_->setColumnWidth(0, 60);

  labelPairedTrinkets_ = MakeLabel(QStringLiteral("LabelPairedTrinkets"));
  labelPairedSensors_ = MakeLabel(QStringLiteral("LabelPairedSensors"));
  labelPairedTrinkets_->setWordWrap(true);
  labelPairedSensors_->setWordWrap(true);
  auto* wirelessPage = new QWidget;
  auto* wirelessBox = new QVBoxLayout(wirelessPage);
  wirelessBox->addWidget(labelPairedTrinkets_);
  wirelessBox->addWidget(labelPairedSensors_);
  wirelessBox->addStretch(1);

  auto* tabs = new QTabWidget;
  tabs->setObjectName(QStringLiteral("TabsPanelMemory"));
  tabs->addTab(parameterTable_, QStringLiteral("Параметры"));
  tabs->addTab(keyTable_, QStringLiteral("Ключи"));
  tabs->addTab(wirelessPage, QStringLiteral("Брелоки и датчики"));

  labelReceivedReports_ = MakeLabel(QStringLiteral("LabelReceivedReports"));
  buttonRefresh_ = MakeButton(QStringLiteral("ButtonRefresh"), QStringLiteral("Обновить"));
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(labelReceivedReports_, 1);
  bottom->addWidget(buttonRefresh_);

  auto* right = new QVBoxLayout;
  right->addWidget(new QLabel(QStringLiteral("Что хранит панель:")));
  right->addWidget(tabs, 1);
  right->addLayout(bottom);

  auto* root = new QHBoxLayout(this);
  root->addLayout(left, 0);
  root->addLayout(right, 1);
  resize(980, 640);
}

void SimulatorWindow::Connect() {
  connect(buttonPlugFirst_, &QPushButton::clicked, this, [this] { PlugClick(sim::PanelKind::First); });
  connect(buttonPlugSecond_, &QPushButton::clicked, this, [this] { PlugClick(sim::PanelKind::Second); });
  connect(buttonUnplug_, &QPushButton::clicked, this, &SimulatorWindow::UnplugClick);
  connect(buttonReplug_, &QPushButton::clicked, this, &SimulatorWindow::ReplugClick);
  connect(buttonPresentRandomKey_, &QPushButton::clicked, this, &SimulatorWindow::PresentRandomKeyClick);
  connect(buttonPresentKey_, &QPushButton::clicked, this, &SimulatorWindow::PresentTypedKeyClick);
  connect(editKey_, &QLineEdit::returnPressed, this, &SimulatorWindow::PresentTypedKeyClick);
  connect(buttonPresentSameKey_, &QPushButton::clicked, this, &SimulatorWindow::PresentSameKeyClick);
  connect(buttonAnswerPairing_, &QPushButton::clicked, this, &SimulatorWindow::AnswerPairingClick);
  connect(buttonDropNextAnswer_, &QPushButton::clicked, this, &SimulatorWindow::DropNextAnswerClick);
  connect(buttonHoldNextAnswer_, &QPushButton::clicked, this, &SimulatorWindow::HoldNextAnswerClick);
  connect(buttonReleaseHeld_, &QPushButton::clicked, this, &SimulatorWindow::ReleaseHeldClick);
  connect(buttonUnplugOnNextRequest_, &QPushButton::clicked, this, &SimulatorWindow::UnplugOnNextRequestClick);
  connect(buttonRefresh_, &QPushButton::clicked, this, &SimulatorWindow::Refresh);
}

void SimulatorWindow::PlugClick(sim::PanelKind kind) {
  panel_.Plug(kind);
  // A new panel has seen no key yet; the box must not offer the last one's.
  lastKey_.reset();
  editKey_->clear();
  ShowAction(QStringLiteral("Подключена новая панель с заводскими значениями"));
}

void SimulatorWindow::UnplugClick() {
  panel_.Unplug();
  ShowAction(QStringLiteral("Панель отключена"));
}

void SimulatorWindow::ReplugClick() {
  panel_.Replug();
  ShowAction(QStringLiteral("Та же панель подключена снова, со всем, что она хранит"));
}

void SimulatorWindow::PresentRandomKeyClick() {
  sim::KeyBytes key{};
  const uint64_t bits = random_();
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<uint8_t>(bits >> (8 * i));
  editKey_->setText(QString::fromStdString(KeyHex(key)));
  PresentKey(key);
}

void SimulatorWindow::PresentTypedKeyClick() {
  const auto key = ParseKeyHex(editKey_->text().toStdString());
  if (!key) {
    ShowAction(QStringLiteral("Ключ не приложен: нужно 16 шестнадцатеричных цифр, например 01-23-45-67-89-AB-CD-EF"));
    return;
  }
  PresentKey(*key);
}

void SimulatorWindow::PresentSameKeyClick() {
  if (lastKey_) PresentKey(*lastKey_);
}

void SimulatorWindow::PresentKey(const sim::KeyBytes& key) {
  lastKey_ = key;
  const auto before = panel_.StoredKeys();
  panel_.PresentKey(key);
  const auto after = panel_.StoredKeys();
  std::optional<int> stored;
  for (const auto& [position, bytes] : after) {
    const auto old = before.find(position);
    if (old == before.end() || old->second != bytes) {
      stored = position;
      break;
    }
  }
  const QString hex = QString::fromStdString(KeyHex(key));
  if (stored) {
    ShowAction(QStringLiteral("Ключ %1 записан в позицию %2").arg(hex).arg(*stored));
  } else {
    ShowAction(QStringLiteral("Ключ %1 не записан: панель не ждёт ключей (нажмите «Записать ключ(и)» в программе)").arg(hex));
  }
}

void SimulatorWindow::AnswerPairingClick() {
  const auto pending = TakeSnapshot(panel_).pendingPairing;
  panel_.AnswerPairing();
  if (pending) {
    ShowAction(QStringLiteral("Сопряжено: %1").arg(WirelessDeviceName(*pending)));
  } else {
    ShowAction(QStringLiteral("Панель не ждёт сопряжения"));
  }
}

void SimulatorWindow::DropNextAnswerClick() {
  panel_.DropNextAnswer();
  ShowAction(QStringLiteral("Следующий ответ панели пропадёт"));
}

void SimulatorWindow::HoldNextAnswerClick() {
  panel_.HoldNextAnswer();
  ShowAction(QStringLiteral("Следующий ответ панели задержится до «Отправить задержанные»"));
}

void SimulatorWindow::ReleaseHeldClick() {
  panel_.ReleaseHeldAnswers();
  ShowAction(QStringLiteral("Задержанные ответы отправлены"));
}

void SimulatorWindow::UnplugOnNextRequestClick() {
  panel_.UnplugAfterRequests(1);
  ShowAction(QStringLiteral("Панель отключится при следующем запросе программы"));
}

void SimulatorWindow::ShowAction(const QString& text) {
  labelLastAction_->setText(text);
  Refresh();
}

void SimulatorWindow::Poll() {
  if (!isVisible()) return;
  auto snapshot = TakeSnapshot(panel_);
  if (shown_ && *shown_ == snapshot) return;
  Show(snapshot);
}

void SimulatorWindow::Refresh() { Show(TakeSnapshot(panel_)); }

void SimulatorWindow::Show(const PanelSnapshot& snapshot) {
  labelPanelState_->setText(PanelStateText(snapshot));
  ShowConfiguration(snapshot.configuration);
  ShowKeys(snapshot.keys);
  labelPairedTrinkets_->setText(PairedKeyFobsText(snapshot.wirelessPresence));
  labelPairedSensors_->setText(PairedSensorsText(snapshot.wirelessPresence));
  const bool first = snapshot.kind == sim::PanelKind::First;
  const bool second = snapshot.kind == sim::PanelKind::Second;
  labelKeyLearning_->setText(!first ? QStringLiteral("Только у первой модели")
                             : snapshot.learningKeys ? QStringLiteral("Панель ждёт ключ")
                                                     : QStringLiteral("Панель не ждёт ключей"));
  labelPendingPairing_->setText(!second ? QStringLiteral("Только у второй модели")
                                : snapshot.pendingPairing
                                    ? QStringLiteral("Ждёт ответа: %1").arg(WirelessDeviceName(*snapshot.pendingPairing))
                                    : QStringLiteral("Сопряжение не запрошено"));
  labelReceivedReports_->setText(QStringLiteral("Получено отчётов: %1").arg(snapshot.receivedReports));
  ApplyControlRules(snapshot);
  shown_ = snapshot;
}

void SimulatorWindow::ShowConfiguration(const sim::PanelConfiguration& configuration) {
  for (int p = 1; p <= sim::kParameterCount; ++p) SetCell(parameterTable_, p - 1, 2, ParameterValue(configuration, p));
}

void SimulatorWindow::ShowKeys(const std::map<int, sim::KeyBytes>& keys) {
  keyTable_->setRowCount(static_cast<int>(keys.size()));
  int row = 0;
  for (const auto& [position, key] : keys) {
    SetCell(keyTable_, row, 0, QString::number(position));
    SetCell(keyTable_, row, 1, QString::fromStdString(KeyHex(key)));
    ++row;
  }
}

void SimulatorWindow::ApplyControlRules(const PanelSnapshot& s) {
  const bool first = s.plugged && s.kind == sim::PanelKind::First;
  const bool second = s.plugged && s.kind == sim::PanelKind::Second;
  buttonUnplug_->setEnabled(s.plugged);
  buttonReplug_->setEnabled(s.kind.has_value() && !s.plugged);
  editKey_->setEnabled(first);
  buttonPresentRandomKey_->setEnabled(first);
  buttonPresentKey_->setEnabled(first);
  buttonPresentSameKey_->setEnabled(first && lastKey_.has_value());
  buttonAnswerPairing_->setEnabled(second && s.pendingPairing.has_value());
  buttonDropNextAnswer_->setEnabled(s.plugged);
  buttonHoldNextAnswer_->setEnabled(s.plugged);
  buttonReleaseHeld_->setEnabled(s.plugged);
  buttonUnplugOnNextRequest_->setEnabled(s.plugged);
}

}  // namespace zarvex::demo
