#pragma once

#include <algorithm>
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

  void SetStatus(const std::string& text, Rgb colour) override {
    Note("SetStatus");
    status = text;
    statusColour = colour;
  }
  void SetDeviceType(const std::string& text) override { Note("SetDeviceType"); deviceType = text; }
  void SetDeviceVersion(const std::string& text) override {
    Note("SetDeviceVersion");
    deviceVersion = text;
  }
  void SetProgressSmooth(bool smooth) override {
    Note("SetProgressSmooth");
    progressSmooth = smooth;
  }
  void SetProgressPosition(int position) override {
    Note("SetProgressPosition");
    progressPosition = position;
    progressPositions.push_back(position);
  }
  int ProgressMaximum() const override { return progressMaximum; }
  void ShowMessage(const std::string& text) override {
    Note("ShowMessage");
    messages.push_back(text);
    if (onMessage) onMessage(text);
  }
  void ShowSettings() override { Note("ShowSettings"); ++showSettingsCount; }
  void CollectSettings() override {
    Note("CollectSettings");
    ++collectCount;
    if (onCollect) onCollect();
  }
  void SetDeviceButtons(bool connected) override {
    Note("SetDeviceButtons");
    deviceButtons = connected;
  }
  void ApplyFirmwareRules() override { Note("ApplyFirmwareRules"); ++firmwareRulesCount; }
  bool IsLogVisible() const override { return logVisible; }
  void AppendLogLine(const std::string& line) override {
    Note("AppendLogLine");
    logLines.push_back(line);
  }
  void AppendSentLogLine(const std::string& line) override {
    Note("AppendSentLogLine");
    sentLogLines.push_back(line);
  }
  void ShowTransferStatus(const TransferStatusText& status) override {
    Note("ShowTransferStatus");
    transfer = status;
    transferTexts.push_back(status.text);
  }
  void ResetKeyGrid() override {
    Note("ResetKeyGrid");
    keyRows.assign(1, KeyGridRow{"№", "Ключ (hex)", "Дубль"});
  }
  void SetKeyRow(int row, const std::string& position, const std::string& key,
                 const std::string& duplicate) override {
    Note("SetKeyRow");
    if (row < 0) return;
    if (static_cast<size_t>(row) >= keyRows.size()) keyRows.resize(static_cast<size_t>(row) + 1);
    keyRows[static_cast<size_t>(row)] = KeyGridRow{position, key, duplicate};
  }
  void SetWirelessLabels(const std::string& t, const std::string& s) override {
    Note("SetWirelessLabels");
    trinkets = t;
    sensors = s;
  }
  void SetTimerRunning(bool running) override {
    Note("SetTimerRunning");
    timerRunning = running;
    timerSwitches.push_back(running);
  }

  // Every call by name, in order ("SetStatus", "ShowMessage", ...).
  std::vector<std::string> calls;
  int CountOf(const std::string& call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
  }

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
  std::function<void()> onCollect;  // e.g. fill the record as the window would
  std::function<void(const std::string&)> onMessage;  // runs while the "modal" box is open
  bool deviceButtons = false;
  int firmwareRulesCount = 0;
  bool logVisible = false;
  std::vector<std::string> logLines;
  std::vector<std::string> sentLogLines;
  TransferStatusText transfer;
  std::vector<std::string> transferTexts;  // every text shown, in order
  std::vector<KeyGridRow> keyRows;  // [0] is the title row
  std::string trinkets = "Брелоки:", sensors = "Датчики:";
  bool timerRunning = false;
  std::vector<bool> timerSwitches;

 private:
  void Note(const char* call) { calls.push_back(call); }
};

}  // namespace zarvex::protocol::testing
