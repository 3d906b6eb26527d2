#pragma once

#include <functional>
#include <string>
#include <vector>

#include "protocol/panel_view.h"

namespace zarvex::protocol::testing {

// A window that records what the link shows on it.
class FakePanelView : public PanelView {
 public:
  struct KeyGridRow {
    std::string position, key, duplicate;
    bool operator==(const KeyGridRow&) const = default;
  };

  void SetStatus(const std::string& text, Rgb colour) override;
  void SetDeviceType(const std::string& text) override;
  void SetDeviceVersion(const std::string& text) override;
  void SetProgressSmooth(bool smooth) override;
  void SetProgressPosition(int position) override;
  int ProgressMaximum() const override { return progressMaximum; }
  void ShowMessage(const std::string& text) override;
  void ShowSettings() override;
  void CollectSettings() override;
  void SetDeviceButtons(bool connected) override;
  void ApplyFirmwareRules() override;
  bool IsLogVisible() const override { return logVisible; }
  void AppendLogLine(const std::string& line) override;
  void ResetKeyGrid() override;
  void SetKeyRow(int row, const std::string& position, const std::string& key,
                 const std::string& duplicate) override;
  void SetWirelessLabels(const std::string& trinkets, const std::string& sensors) override;
  void SetTimerRunning(bool running) override;

  // Every call by name, in order ("SetStatus", "ShowMessage", ...).
  std::vector<std::string> calls;
  int CountOf(const std::string& call) const;

  std::string status = "Устройство не подключено";
  Rgb statusColour = kDisconnectedRed;
  std::string deviceType, deviceVersion;
  bool progressSmooth = false;
  int progressPosition = 0;
  int progressMaximum = 56;
  std::vector<int> progressPositions;
  std::vector<std::string> messages;
  int showSettingsCount = 0;
  int collectCount = 0;
  std::function<void()> onCollect;     // e.g. fill the record as the window would
  std::function<void()> onShowSettings;
  std::function<void(const std::string&)> onMessage;  // runs while the "modal" box is open
  bool deviceButtons = false;
  int firmwareRulesCount = 0;
  bool logVisible = false;
  std::vector<std::string> logLines;
  std::vector<KeyGridRow> keyRows;  // [0] is the title row
  int keyGridResets = 0;
  std::string trinkets = "Брелоки:", sensors = "Датчики:";
  bool timerRunning = false;
  std::vector<bool> timerSwitches;
};

}  // namespace zarvex::protocol::testing
