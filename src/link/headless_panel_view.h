#pragma once

#include <functional>
#include <string>
#include <vector>

#include "protocol/panel_view.h"

namespace zarvex::link {

// The link's window for programs without one (the command line, the soak):
// it keeps what a window would show, and passes messages, log lines and the
// transfer status on to whoever listens. Messages never wait for a person.
class THeadlessPanelView final : public protocol::PanelView {
 public:
  struct KeyRow {
    std::string position, key, duplicate;
  };

  void SetStatus(const std::string& text, protocol::Rgb) override { status = text; }
  void SetDeviceType(const std::string& text) override { deviceType = text; }
  void SetDeviceVersion(const std::string& text) override { deviceVersion = text; }
  void SetProgressSmooth(bool smooth) override { progressSmooth = smooth; }
  void SetProgressPosition(int position) override { progressPosition = position; }
  int ProgressMaximum() const override { return 56; }
  void ShowMessage(const std::string& text) override;
  void ShowSettings() override { ++settingsShown; }
  void CollectSettings() override {
    if (onCollect) onCollect();
  }
  void SetDeviceButtons(bool) override {}
  void ApplyFirmwareRules() override {}
  bool IsLogVisible() const override { return static_cast<bool>(onLog); }
  void AppendLogLine(const std::string& line) override { onLog(line, false); }
  void AppendSentLogLine(const std::string& line) override { onLog(line, true); }
  void ShowTransferStatus(const protocol::TransferStatusText& s) override;
  void ResetKeyGrid() override { keyRows.clear(); }
  void SetKeyRow(int row, const std::string& position, const std::string& key,
                 const std::string& duplicate) override;
  void SetWirelessLabels(const std::string& t, const std::string& s) override {
    trinkets = t;
    sensors = s;
  }
  void SetTimerRunning(bool) override {}

  std::function<void()> onCollect;
  std::function<void(const std::string&)> onMessage;
  // Set: the log counts as visible and every line comes here.
  std::function<void(const std::string& line, bool sent)> onLog;
  std::function<void(const protocol::TransferStatusText&)> onTransferStatus;

  std::string status, deviceType, deviceVersion;
  bool progressSmooth = false;
  int progressPosition = 0;
  int settingsShown = 0;
  std::vector<std::string> messages;
  std::vector<KeyRow> keyRows;  // key rows 1.. at [0..]
  std::string trinkets, sensors;
  protocol::TransferStatusText transfer;
};

}  // namespace zarvex::link
