#include "cli/panel_session.h"

#include <algorithm>
#include <cstring>

#include "protocol/panel_identity.h"
#include "protocol/transfer_status.h"
#include "settings/installer_units.h"

namespace zarvex::cli {

namespace {
const char* const kNoAccessStatus = "Нет доступа к устройству";
constexpr int64_t kConnectWaitMs = 2000;
constexpr int64_t kSliceMs = 50;

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }
}  // namespace

std::vector<PanelNode> FindPanels(hid::THidPlatform& platform) {
  std::vector<PanelNode> panels;
  for (const hid::THidInterface& found : platform.PresentInterfaces()) {
    uint32_t error = 0;
    auto query = platform.Open(found.devicePath, hid::THidAccess::QueryOnly, error);
    std::string product;
    if (!query || !query->ProductString(product) || !protocol::IsPanelProductString(product)) continue;
    query.reset();
    const bool readWrite =
        platform.Open(found.devicePath, hid::THidAccess::ReadWrite, error) != nullptr;
    // Claimed for a moment only: whether another program holds it now.
    const bool busy = readWrite && !platform.Claim(found.devicePath, error) &&
                      platform.ClassifyError(error) == hid::THidErrorKind::Busy;
    panels.push_back({found.devicePath, found.instance, readWrite, busy});
  }
  return panels;
}

std::string BusyText(const std::string& path) {
  return "Нет доступа к устройству " + path + ".\n" + protocol::PanelBusyHint();
}


TPanelSession::TPanelSession(hid::THidPlatform& platform, const std::string& devicePath,
                             link::THeadlessDriver::Pace pace)
    : platform_(platform),
      path_(devicePath),
      connection_(cfg_, view_, platform, loop_),
      driver_(connection_, loop_, pace) {
  // Before the first scan runs: only the chosen node is offered.
  connection_.SetDeviceFilter([this](const hid::THidDevice& device) {
    return path_.empty() || device.DevicePath() == path_;
  });
  view_.onTransferStatus = [this](const protocol::TransferStatusText& status) {
    if (StartsWith(status.text, "Чтение: ") || StartsWith(status.text, "Запись: ")) {
      lastProgress_ = status.text;
    }
    if (progress_ && !status.text.empty()) progress_(status.text);
  };
}

TPanelSession::~TPanelSession() = default;

std::string TPanelSession::Model() const {
  if (!view_.deviceType.empty()) return view_.deviceType;
  return version_ >= 500 ? "Zarvex GSM ZX-4110" : "Zarvex GSM";
}

int TPanelSession::Connect() {
  protocol::DeviceLink& link = connection_.Link();
  driver_.RunUntil(
      [&] {
        return !view_.deviceVersion.empty() || view_.status == kNoAccessStatus || Interrupted();
      },
      kConnectWaitMs);
  if (Interrupted()) return Cut();
  if (view_.status == kNoAccessStatus) {
    const bool busy = link.RefusedAsBusy();
    std::string node = path_;
    for (const PanelNode& p : FindPanels(platform_)) {
      if (node.empty() && (busy ? p.busy : !p.readWrite)) node = p.path;
    }
    message_ = busy ? BusyText(node) : NoAccessText(node);
    return kNoAccess;
  }
  if (!link.PanelHeld()) {
    message_ = path_.empty() ? "Панель не найдена" : "Панель не найдена: " + path_;
    return kNoPanel;
  }
  if (view_.deviceVersion.empty()) {
    message_ = "Панель не отвечает (параметр " +
               std::to_string(std::max(link.Status().OverdueCode(), 200)) + ")";
    return kNoAnswer;
  }
  version_ = cfg_.FirmwareVersion;
  return kOk;
}

int TPanelSession::Cut() {
  if (StartsWith(lastProgress_, "Запись: ")) {
    message_ = "Запись прервана: записано " + lastProgress_.substr(std::strlen("Запись: "));
  } else if (StartsWith(lastProgress_, "Чтение: ")) {
    message_ = "Чтение прервано: " + lastProgress_.substr(std::strlen("Чтение: "));
  } else {
    message_ = "Прервано";
  }
  return kInterrupted;
}

int TPanelSession::RunTransfer(const std::function<bool()>& complete) {
  const protocol::DeviceLink& link = connection_.Link();
  const protocol::TransferStatusText& shown = view_.transfer;
  lastProgress_.clear();
  auto cut = [&] {
    return StartsWith(shown.text, "Чтение прервано") || StartsWith(shown.text, "Запись прервана");
  };
  int64_t silentSince = -1;
  for (;;) {
    // Once silence is noticed, the slices run on (the clock must move for
    // the limit to arrive) until it ends or the limit is reached.
    const bool silent = silentSince >= 0;
    driver_.RunUntil(
        [&] {
          return complete() || !link.PanelHeld() || cut() || Interrupted() || shown.alarm != silent;
        },
        kSliceMs);
    if (complete()) {
      message_ = shown.text;
      return kOk;
    }
    if (Interrupted()) return Cut();
    if (!link.PanelHeld()) {
      message_ = "Панель отключена. " + shown.text;
      return kPanelError;
    }
    if (cut()) {
      message_ = shown.text;
      return kPanelError;
    }
    if (!shown.alarm) {
      silentSince = -1;
      continue;
    }
    // The status turns red after a second; a second more and we give up.
    if (silentSince < 0) silentSince = driver_.Now();
    if (driver_.Now() - silentSince >= silenceLimitMs - protocol::TransferStatus::kAnswerTimeoutMs) {
      message_ = shown.text;
      return kNoAnswer;
    }
  }
}

int TPanelSession::Read() {
  connection_.Link().ButtonReadClick();
  return RunTransfer([&] { return view_.transfer.text == "Конфигурация прочитана"; });
}

int TPanelSession::Write(const TCFG& record) {
  view_.onCollect = [this, record] {
    cfg_ = record;
    cfg_.FirmwareVersion = version_;
    ApplyCollectRules(cfg_);
  };
  connection_.Link().ButtonWriteClick();
  view_.onCollect = nullptr;
  return RunTransfer([&] { return view_.transfer.text == "Конфигурация записана"; });
}

int TPanelSession::AwaitAnswer() {
  const protocol::DeviceLink& link = connection_.Link();
  return RunTransfer([&] { return !link.Status().Watching() && !link.Status().TimedOut(); });
}

int TPanelSession::ListKeys() {
  connection_.Link().ButtonReadKeysClick();
  return AwaitAnswer();
}

int TPanelSession::KeyCommand(const std::function<void(protocol::DeviceLink&)>& click) {
  click(connection_.Link());
  return AwaitAnswer();
}

int TPanelSession::ListWireless() {
  connection_.Link().ButtonReadWireLessClick();
  return AwaitAnswer();
}

int TPanelSession::WirelessCommand(const std::function<void(protocol::DeviceLink&)>& click,
                                   bool pairing) {
  const size_t messagesBefore = view_.messages.size();
  click(connection_.Link());
  const int answered = AwaitAnswer();
  if (answered != kOk || !pairing) return answered;
  const bool paired = driver_.RunUntil(
      [&] {
        return Interrupted() ||
               std::find(view_.messages.begin() + static_cast<long>(messagesBefore),
                         view_.messages.end(), "Код сохранен") != view_.messages.end();
      },
      pairingWaitMs);
  if (Interrupted()) {
    message_ = "Прервано: устройство не сопряжено";
    return kInterrupted;
  }
  if (paired) {
    message_ = "Код сохранен";
    return kOk;
  }
  message_ = "Устройство не сопряжено за " + std::to_string(pairingWaitMs / 1000) + " с";
  return kPanelError;
}

}  // namespace zarvex::cli
