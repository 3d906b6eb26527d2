#include "fake_panel_view.h"

#include <algorithm>

namespace zarvex::protocol::testing {

int FakePanelView::CountOf(const std::string& call) const {
  return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

void FakePanelView::SetStatus(const std::string& text, Rgb colour) {
  calls.push_back("SetStatus");
  status = text;
  statusColour = colour;
}

void FakePanelView::SetDeviceType(const std::string& text) {
  calls.push_back("SetDeviceType");
  deviceType = text;
}

void FakePanelView::SetDeviceVersion(const std::string& text) {
  calls.push_back("SetDeviceVersion");
  deviceVersion = text;
}

void FakePanelView::SetProgressSmooth(bool smooth) {
  calls.push_back("SetProgressSmooth");
  progressSmooth = smooth;
}

void FakePanelView::SetProgressPosition(int position) {
  calls.push_back("SetProgressPosition");
  progressPosition = position;
  progressPositions.push_back(position);
}

void FakePanelView::ShowMessage(const std::string& text) {
  calls.push_back("ShowMessage");
  messages.push_back(text);
  if (onMessage) onMessage(text);
}

void FakePanelView::ShowSettings() {
  calls.push_back("ShowSettings");
  ++showSettingsCount;
  if (onShowSettings) onShowSettings();
}

void FakePanelView::CollectSettings() {
  calls.push_back("CollectSettings");
  ++collectCount;
  if (onCollect) onCollect();
}

void FakePanelView::SetDeviceButtons(bool connected) {
  calls.push_back("SetDeviceButtons");
  deviceButtons = connected;
}

void FakePanelView::ApplyFirmwareRules() {
  calls.push_back("ApplyFirmwareRules");
  ++firmwareRulesCount;
}

void FakePanelView::AppendLogLine(const std::string& line) {
  calls.push_back("AppendLogLine");
  logLines.push_back(line);
}

void FakePanelView::ResetKeyGrid() {
  calls.push_back("ResetKeyGrid");
  ++keyGridResets;
  keyRows.assign(1, KeyGridRow{"№", "Ключ (hex)", "Дубль"});
}

void FakePanelView::SetKeyRow(int row, const std::string& position, const std::string& key,
                              const std::string& duplicate) {
  calls.push_back("SetKeyRow");
  if (row < 0) return;
  if (static_cast<size_t>(row) >= keyRows.size()) keyRows.resize(static_cast<size_t>(row) + 1);
  keyRows[static_cast<size_t>(row)] = KeyGridRow{position, key, duplicate};
}

void FakePanelView::SetWirelessLabels(const std::string& t, const std::string& s) {
  calls.push_back("SetWirelessLabels");
  trinkets = t;
  sensors = s;
}

void FakePanelView::SetTimerRunning(bool running) {
  calls.push_back("SetTimerRunning");
  timerRunning = running;
  timerSwitches.push_back(running);
}

}  // namespace zarvex::protocol::testing
