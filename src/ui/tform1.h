#pragma once

#include <QWidget>
#include <array>
#include <vector>
#include <memory>
#include <string>

#include "protocol/panel_view.h"
#include "settings/tcfg.h"
#include "ui/device_handlers.h"
#include "ui/qt_modal_ui.h"

class QCheckBox;
class QCloseEvent;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTimer;

namespace Ui {
class TForm1;
}

namespace zarvex {

// The one main window. It owns the settings record and is the view through
// which the device link shows its state.
class TForm1 : public QWidget, public protocol::PanelView {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // The platform's sans font at the size that the fixed layout is drawn for.
  static QFont WindowFont();

  TCFG& Cfg() { return cfg_; }
  const TCFG& Cfg() const { return cfg_; }
  // Set by the device link before FormCreate; the slots below call them.
  DeviceHandlers& Handlers() { return handlers_; }
  // Not owned; the default is the platform's message boxes and dialogs.
  void SetModalUi(ModalUi& modal) { modal_ = &modal; }
  ModalUi& Modal() { return *modal_; }

  // Start-up: the device link's hook, the key grid, then "zarvex.cfg".
  // Called once after construction, before the window is shown.
  void FormCreate();
  // Collects and saves "zarvex.cfg"; false keeps the window open.
  bool FormClose();

  // Texts the device link reads (UTF-8).
  std::string EditLabMinText() const;
  std::string EditLabMaxText() const;
  std::string EditTrinketText() const;
  std::string EditSensorText() const;
  bool RBSens3Checked() const;

  bool ProgressSmooth() const { return progressSmooth_; }

  // For the menu, the history, the comparison and the report.
  // The window's values as a write would collect them; the record and the
  // controls are left as they were.
  TCFG CollectedCopy();
  // Shows a whole record, as loading a file does (FirmwareVersion included).
  void ApplyRecord(const TCFG& record);
  QString DeviceTypeText() const;
  QString DeviceVersionText() const;
  bool KeysListed() const { return keysListed_; }
  std::vector<std::array<std::string, 3>> KeyRows() const;
  bool WirelessListed() const { return wirelessListed_; }
  QString TrinketsText() const;
  QString SensorsText() const;
  // The transfer's text on the bar, and the warning beside the status.
  QString TransferText() const;
  // While set, a read's progress says `caption` ("Проверка: k из 56").
  void SetReadCaption(const QString& caption) { readCaption_ = caption; }
  // Puts a text of the window's own on the bar (red when `alarm`) until the
  // next transfer text.
  void ShowTransferResult(const QString& text, bool alarm);
  QString TransferWarning() const;

  // Control-state rules.
  void ApplyAutonomousMode();
  void ApplyNetworkFields();

  // protocol::PanelView
  void SetStatus(const std::string& text, protocol::Rgb colour) override;
  void SetDeviceType(const std::string& text) override;
  void SetDeviceVersion(const std::string& text) override;
  void SetProgressSmooth(bool smooth) override;
  void SetProgressPosition(int position) override;
  int ProgressMaximum() const override;
  void ShowMessage(const std::string& text) override;
  void ShowSettings() override;
  void CollectSettings() override;
  void SetDeviceButtons(bool connected) override;
  void ApplyFirmwareRules() override;
  bool IsLogVisible() const override;
  void AppendLogLine(const std::string& line) override;
  void AppendSentLogLine(const std::string& line) override;
  void ShowTransferStatus(const protocol::TransferStatusText& status) override;
  void ResetKeyGrid() override;
  void SetKeyRow(int row, const std::string& position, const std::string& key,
                 const std::string& duplicate) override;
  void SetWirelessLabels(const std::string& trinkets, const std::string& sensors) override;
  // The 10 ms timer runs from construction until the link stops it.
  void SetTimerRunning(bool running) override;

 public slots:
  void ButtonReadClick();
  void ButtonWriteClick();
  void ButtonLoadClick();
  void Button3Click();
  void ChBxAutoClick();
  void ChBxVPNClick();
  void ButtonWriteKeysClick();
  void ButtonDelKeysClick();
  void ButtonDelAllKeysClick();
  void ButtonReadKeysClick();
  void ButtonWriteTrinketClick();
  void ButtonDelTrinketClick();
  void ButtonDelAllTrinketClick();
  void ButtonWriteSensorClick();
  void ButtonDelSensorClick();
  void ButtonDelAllSensorClick();
  void ButtonReadWireLessClick();
  void TimerTimer();
  void ToggleLog();
  void SaveAsClick();

 signals:
  // A configuration read has just completed: the record holds the panel's.
  void ConfigurationRead();
  // A write click has collected the record; its first step is still to go.
  void WriteClicked();
  // The transfer's text on the bar has changed (as the link words it).
  void TransferTextChanged(const QString& text);
  // The panel's buttons were enabled (a panel is there) or disabled.
  void PanelConnectionChanged(bool connected);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void WireEvents();
  void CollectControlArrays();
  void ApplyProgressStyle();
  // A write refused before it starts: a number the panel cannot hold is
  // named, and its page opened on it.
  bool WritableOrTold();
  QLineEdit* NumberEdit(int parameter) const;
  void PlaceTransferWarning();
  void AppendStampedLogLine(const char* direction, const std::string& line);
  // Runs a file operation; a failure is shown with its text. True on success.
  template <typename Operation>
  bool RunFileOperation(Operation&& operation);
  static void Call(const std::function<void()>& handler);
  bool SaveDialogCanClose(const QString& fileName);
  bool OpenDialogCanClose(const QString& fileName);
  void SaveToFile(const QString& fileName);
  int LoadFromFile(const QString& fileName);  // the file's line count

  std::unique_ptr<Ui::TForm1> ui_;
  TCFG cfg_;
  DeviceHandlers handlers_;
  QtModalUi platformModal_;
  ModalUi* modal_ = &platformModal_;
  QTimer* timer_ = nullptr;
  bool progressSmooth_ = false;
  bool progressAlarm_ = false;
  // While the status text counts parameters, the fill shows that count, not
  // the link's step: after a write the two part (key records move the step).
  bool fillFollowsText_ = false;
  int linkPosition_ = 1;  // the link's last position, shown when no count is
  QLabel* transferWarning_ = nullptr;
  QString transferText_;
  QString readCaption_;
  bool keysListed_ = false;
  bool wirelessListed_ = false;
  QString saveDialogFileName_;
  QString openDialogFileName_;

  std::array<QLineEdit*, 8> editPhone_{};
  std::array<QLineEdit*, 10> editKB_{};
  std::array<QLineEdit*, 6> editInWait_{};
  std::array<QComboBox*, 6> cmBxIn_{};
  std::array<QCheckBox*, 6> chBxSirenIn_{};
  std::array<QLineEdit*, 7> editInName_{};  // [6] is EditTamperName
  std::array<QCheckBox*, 14> smsBox_{};     // by event slot
  std::array<QCheckBox*, 14> callBox_{};    // by event slot
};

}  // namespace zarvex
