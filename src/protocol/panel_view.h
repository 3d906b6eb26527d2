#pragma once

#include <cstdint>
#include <string>

#include "protocol/transfer_status_text.h"

namespace zarvex::protocol {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kConnectedGreen{0, 128, 0};
inline constexpr Rgb kDisconnectedRed{255, 0, 0};

// What the device link needs of the main window. Texts are UTF-8; the
// settings record itself is reached through ShowSettings/CollectSettings.
class PanelView {
 public:
  virtual ~PanelView() = default;

  virtual void SetStatus(const std::string& text, Rgb colour) = 0;  // LabelCon
  virtual void SetDeviceType(const std::string& text) = 0;          // LabelDevType
  virtual void SetDeviceVersion(const std::string& text) = 0;       // LabelDevVersion

  virtual void SetProgressSmooth(bool smooth) = 0;
  virtual void SetProgressPosition(int position) = 0;
  virtual int ProgressMaximum() const = 0;

  // Modal: returns when the user has closed the box.
  virtual void ShowMessage(const std::string& text) = 0;

  virtual void ShowSettings() = 0;
  virtual void CollectSettings() = 0;
  virtual void SetDeviceButtons(bool connected) = 0;
  virtual void ApplyFirmwareRules() = 0;

  // The report log; the link formats lines only while it is visible.
  virtual bool IsLogVisible() const = 0;
  virtual void AppendLogLine(const std::string& line) = 0;
  // An output report as sent (report ID first), for the same log.
  virtual void AppendSentLogLine(const std::string& line) { (void)line; }

  // What the installer is told about the transfer beside the progress bar;
  // called whenever it changes.
  virtual void ShowTransferStatus(const TransferStatusText& status) { (void)status; }

  // Key grid: row 0 holds the titles; rows 1.. the keys.
  virtual void ResetKeyGrid() = 0;
  virtual void SetKeyRow(int row, const std::string& position,
                         const std::string& key, const std::string& duplicate) = 0;

  virtual void SetWirelessLabels(const std::string& trinkets,
                                 const std::string& sensors) = 0;

  // The link asks for 10 ms ticks only while a request may become due, so an
  // idle window does not wake the machine.
  virtual void SetTimerRunning(bool running) = 0;
};

}  // namespace zarvex::protocol
