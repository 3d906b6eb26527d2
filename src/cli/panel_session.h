#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "protocol/panel_identity.h"
#include "hid/hid_platform.h"
#include "hid/hid_simple_loop.h"
#include "link/headless_driver.h"
#include "link/headless_panel_view.h"
#include "link/panel_connection.h"
#include "settings/tcfg.h"

namespace zarvex::cli {

// Exit codes of zarvex-cli.
enum Exit : int {
  kOk = 0,
  kPanelError = 1,
  kUsage = 2,
  kNoPanel = 3,
  kNoAccess = 4,
  kNoAnswer = 5,
  kMismatch = 6,
  kFileError = 7,
  kInterrupted = 130,  // Ctrl+C or SIGTERM
};

inline constexpr const char* kPanelProduct = protocol::kPanelProductName;

// A panel node as the system lists it, before any talk with it.
struct PanelNode {
  std::string path;
  std::string instance;  // differs for every plug
  bool readWrite = false;
  bool busy = false;  // read-write, but another program holds it
};

// The panels present now, in the system's order.
std::vector<PanelNode> FindPanels(hid::THidPlatform& platform);

// The message for a node the user may not open, with what to do about it on
// this system (cli/linux, cli/windows).
std::string NoAccessText(const std::string& path);
// The message for a node another program holds.
std::string BusyText(const std::string& path);

// One panel, connected through the same controller, reading thread and
// device link as the window, paced by the same 10 ms ticks. Every operation
// returns an exit code and leaves its message in Message().
class TPanelSession {
 public:
  TPanelSession(hid::THidPlatform& platform, const std::string& devicePath,
                link::THeadlessDriver::Pace pace = link::THeadlessDriver::Pace::RealTime);
  ~TPanelSession();

  // Waits for the panel and its identification.
  int Connect();
  int Read();
  // Writes `record` as a collect would leave it, parameter 55 by the
  // connected panel's firmware version.
  int Write(const TCFG& record);
  int ListKeys();
  int KeyCommand(const std::function<void(protocol::DeviceLink&)>& click);
  int ListWireless();
  int WirelessCommand(const std::function<void(protocol::DeviceLink&)>& click, bool pairing);

  const TCFG& Record() const { return cfg_; }
  int32_t FirmwareVersion() const { return version_; }
  std::string Model() const;
  const link::THeadlessPanelView& View() const { return view_; }
  const std::string& Message() const { return message_; }
  // Progress: every transfer text as it changes.
  void OnProgress(std::function<void(const std::string&)> progress) {
    progress_ = std::move(progress);
  }

  // How long silence may last before a command gives up, and how long a
  // pairing waits for the device; tests shorten them.
  int64_t silenceLimitMs = 2000;
  int64_t pairingWaitMs = 60000;
  // Set from a signal handler: whatever runs ends at once, told as cut.
  const std::atomic<bool>* interrupted = nullptr;

 private:
  // Runs until the transfer ends: kOk when `complete` held, otherwise the
  // exit code for an interruption, an unplug or a panel gone silent.
  int RunTransfer(const std::function<bool()>& complete);
  int AwaitAnswer();
  bool Interrupted() const { return interrupted != nullptr && interrupted->load(); }
  int Cut();  // the interrupted operation's message and exit code

  hid::THidPlatform& platform_;
  std::string path_;
  TCFG cfg_;
  link::THeadlessPanelView view_;
  hid::THidSimpleLoop loop_;
  link::TPanelConnection connection_;
  link::THeadlessDriver driver_;
  int32_t version_ = 0;
  std::string message_;
  std::function<void(const std::string&)> progress_;
  std::string lastProgress_;  // the last "Чтение: …" or "Запись: …"
};

}  // namespace zarvex::cli
