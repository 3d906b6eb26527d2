#pragma once
// "Симулятор панели": the demo's control window over a simulated panel.
// Plugs and unplugs a panel of either model, plays the outside world (a key
// held to the reader, a wireless device answering a pairing), shows what the
// panel holds and puts faults on its answers. Lives on the main thread; the
// panel may be driven by the configurator at the same time.

#include <QWidget>

#include <optional>
#include <random>

#include "demo/panel_snapshot.h"
#include "sim/virtual_panel.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace zarvex::demo {

class SimulatorWindow final : public QWidget {
  Q_OBJECT

 public:
  explicit SimulatorWindow(sim::VirtualPanel& panel, QWidget* parent = nullptr);

  // How often the window looks for changes made through the configurator.
  static constexpr int kPollMilliseconds = 250;

 public slots:
  // Shows what the panel holds now and sets which controls apply.
  void Refresh();

 private:
  void BuildLayout();
  void Connect();

  void PlugClick(sim::PanelKind kind);
  void UnplugClick();
  void ReplugClick();
  void PresentRandomKeyClick();
  void PresentTypedKeyClick();
  void PresentSameKeyClick();
  void AnswerPairingClick();
  void DropNextAnswerClick();
  void HoldNextAnswerClick();
  void ReleaseHeldClick();
  void UnplugOnNextRequestClick();

  void PresentKey(const sim::KeyBytes& key);
  void ShowAction(const QString& text);
  void Poll();
  void Show(const PanelSnapshot& snapshot);
  void ShowConfiguration(const sim::PanelConfiguration& configuration);
  void ShowKeys(const std::map<int, sim::KeyBytes>& keys);
  void ApplyControlRules(const PanelSnapshot& snapshot);

  sim::VirtualPanel& panel_;
  std::optional<PanelSnapshot> shown_;
  std::optional<sim::KeyBytes> lastKey_;
  std::mt19937_64 random_;
  QTimer* pollTimer_ = nullptr;

  QLabel* labelPanelState_ = nullptr;
  QLabel* labelLastAction_ = nullptr;
  QPushButton* buttonPlugFirst_ = nullptr;
  QPushButton* buttonPlugSecond_ = nullptr;
  QPushButton* buttonUnplug_ = nullptr;
  QPushButton* buttonReplug_ = nullptr;

  QLabel* labelKeyLearning_ = nullptr;
  QLineEdit* editKey_ = nullptr;
  QPushButton* buttonPresentRandomKey_ = nullptr;
  QPushButton* buttonPresentKey_ = nullptr;
  QPushButton* buttonPresentSameKey_ = nullptr;

  QLabel* labelPendingPairing_ = nullptr;
  QPushButton* buttonAnswerPairing_ = nullptr;

  QPushButton* buttonDropNextAnswer_ = nullptr;
  QPushButton* buttonHoldNextAnswer_ = nullptr;
  QPushButton* buttonReleaseHeld_ = nullptr;
  QPushButton* buttonUnplugOnNextRequest_ = nullptr;

  QPushButton* buttonRefresh_ = nullptr;
  QTableWidget* parameterTable_ = nullptr;
  QTableWidget* keyTable_ = nullptr;
  QLabel* labelPairedTrinkets_ = nullptr;
  QLabel* labelPairedSensors_ = nullptr;
  QLabel* labelReceivedReports_ = nullptr;
};

}  // namespace zarvex::demo
